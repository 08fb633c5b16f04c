// Helpers of the program's tests under Wine: a private TEMP, scripted dialogs, packages made by
// our writer, and reading the controls back.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../native/test_support.h"
#include "ui/dialogs.h"

namespace program_testing {

namespace fs = std::filesystem;

// A scratch folder (its name holds a space and non-ASCII letters, as a user's may) that is
// TEMP for as long as this lives.
class PrivateTemp {
 public:
  PrivateTemp();
  ~PrivateTemp();
  const fs::path& path() const { return path_; }
  fs::path listFile() const { return path_ / L"tmp.txt"; }

 private:
  testing_support::ScratchFolder scratch_;
  fs::path path_;
  std::optional<std::wstring> previous_;
};

// Answers the open dialog from a script: each call takes the next answer (a path, or nothing
// for Cancel) and remembers the filter it was shown with.
class ScriptedDialogs : public vaultpick::Dialogs {
 public:
  void willPick(const fs::path& file) { answers_.push_back(file.wstring()); }
  void willCancel() { answers_.push_back(std::nullopt); }
  std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) override;
  std::vector<std::wstring> filters;

 private:
  std::vector<std::optional<std::wstring>> answers_;
};

// The folder of this test program, where the build put vaultpick.exe and HLExtract.exe.
fs::path binFolder();

// A package of the given tree (default: the mixed tree of the library tests) and its files as
// List1 should show them, in the tool's order.
struct TestPackage {
  fs::path path;
  std::vector<std::wstring> entries;
};
TestPackage makeTestPackage(const fs::path& target, const hl::write::Node& tree);
TestPackage makeTestPackage(const fs::path& target);

std::vector<std::wstring> listBoxEntries(HWND list);
std::wstring windowText(HWND window);

// Closing Form1 posts the program's quit message; tests take it out of their queue again.
bool takeQuitMessage();

}  // namespace program_testing
