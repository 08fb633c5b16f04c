// Helpers of the program's tests under Wine: a private TEMP, scripted dialogs, packages made by
// our writer, and reading the controls back.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../native/test_support.h"
#include "ui/dialogs.h"

namespace program_testing {

namespace fs = std::filesystem;

// An environment variable of this process set to `value` for as long as this lives.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  const wchar_t* name_;
  std::optional<std::wstring> previous_;
};

// A scratch folder (its name holds a space and non-ASCII letters, as a user's may) that is
// TEMP for as long as this lives.
class PrivateTemp {
 public:
  PrivateTemp();
  const fs::path& path() const { return path_; }
  fs::path listFile() const { return path_ / L"tmp.txt"; }

 private:
  testing_support::ScratchFolder scratch_;
  fs::path path_;
  ScopedEnvironmentVariable variable_;
};

// Answers what would block on a person from a script. Each dialog takes the next answer of its
// own queue (a path, or nothing for Cancel); message boxes and the shell's open are recorded.
class ScriptedDialogs : public vaultpick::Dialogs {
 public:
  void willPick(const fs::path& file) { openAnswers_.push_back(file.wstring()); }
  void willCancel() { openAnswers_.push_back(std::nullopt); }
  void willSaveAs(const fs::path& file) { saveAnswers_.push_back(file.wstring()); }
  void willCancelSave() { saveAnswers_.push_back(std::nullopt); }
  // The folder chooser's answer as the chooser gives it; empty for Cancel.
  void willChooseFolder(const std::wstring& folder) { folderAnswers_.push_back(folder); }

  std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) override;
  std::optional<std::wstring> ShowSave(HWND owner, const std::wstring& filter,
                                       const std::wstring& fileName) override;
  std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) override;
  void MsgBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT style) override;
  vaultpick::ShellStarted StartShellExecute(HWND owner, const std::wstring& verb,
                                            const std::wstring& file,
                                            const std::wstring& parameters,
                                            const std::wstring& directory, int show) override;
  // The shell's open reports this process as started (none unless set), once.
  vaultpick::UniqueHandle willStart;

  // What each dialog was shown with.
  std::vector<std::wstring> filters;  // open dialog
  struct SaveShown {
    std::wstring filter, fileName;
  };
  std::vector<SaveShown> saves;
  struct FolderShown {
    HWND owner;
    std::wstring title;
    UINT flags;
  };
  std::vector<FolderShown> folders;
  struct MessageShown {
    std::wstring text, title;
    UINT style;
  };
  std::vector<MessageShown> messages;
  struct ShellOpen {
    HWND owner;
    std::wstring verb, file, parameters, directory;
    int show;
    // The file's bytes at the moment it was handed over; nothing when there was no file.
    std::optional<std::vector<uint8_t>> content;
  };
  std::vector<ShellOpen> shellOpens;

 private:
  std::vector<std::optional<std::wstring>> openAnswers_;
  std::vector<std::optional<std::wstring>> saveAnswers_;
  std::vector<std::wstring> folderAnswers_;
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

// Handles this thread's messages as the program's loop does until `done` holds or the time is
// up; what `done` says then.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace program_testing
