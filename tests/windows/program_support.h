// Helpers of the program's tests under Wine: a private TEMP, scripted dialogs, packages made by
// our writer, Form1 in the test's own process, the program as a process of its own, and reading
// windows back.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "../native/test_support.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "win32/handles.h"

namespace program_testing {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

// An environment variable of this process set to `value` for as long as this lives.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value);
  ~ScopedEnvironmentVariable();

 private:
  const wchar_t* name_;
  std::wstring previous_;
};

// A scratch folder (its name holds a space and non-ASCII letters, as a user's may) that is
// TEMP for as long as this lives.
class PrivateTemp {
 public:
  PrivateTemp();
  const fs::path& path() const { return path_; }
  fs::path listFile() const { return path_ / L"tmp.txt"; }

 private:
  ScratchFolder scratch_;
  fs::path path_;
  ScopedEnvironmentVariable variable_;
};

// Answers what would block on a person from a script: each dialog takes the next answer (a
// path, or nothing for Cancel) and is recorded with what it was shown.
class ScriptedDialogs : public vaultpick::Dialogs {
 public:
  void will(const std::optional<fs::path>& answer) { answers_.push_back(answer); }
  std::optional<std::wstring> ShowOpen(HWND owner, const std::wstring& filter) override;
  std::optional<std::wstring> ShowSave(HWND owner, const std::wstring& filter,
                                       const std::wstring& fileName) override;
  std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) override;
  void MsgBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT style) override;
  vaultpick::ShellStarted StartShellExecute(HWND owner, const std::wstring& verb,
                                            const std::wstring& file,
                                            const std::wstring& parameters,
                                            const std::wstring& directory, int show) override;
  // The shell's open reports this process as started (none unless set), once, and then closes
  // this window when one is set (a person closing the program while the application runs).
  vaultpick::UniqueHandle willStart;
  HWND closeWhenStarted = nullptr;

  // A save dialog: text = filter, title = the file name offered; a folder chooser: title and
  // style = its flags; a message box: all three.
  struct Shown {
    HWND owner;
    std::wstring text, title;
    UINT style;
  };
  std::vector<std::wstring> filters;  // of each open dialog
  std::vector<Shown> saves, folders, messages;
  struct ShellOpen {
    HWND owner;
    std::wstring verb, file, parameters, directory;
    int show;
    std::optional<std::vector<uint8_t>> content;  // the file's bytes when it was handed over
  };
  std::vector<ShellOpen> shellOpens;

 private:
  std::optional<std::wstring> nextAnswer();
  std::vector<std::optional<fs::path>> answers_;
};

// Exactly one box was shown: the program's critical one ("Vaultpick", the error icon) unless told
// otherwise, its text beginning with `start` and going on past it when `more`.
void expectOneBox(const ScriptedDialogs& dialogs, const std::wstring& start, bool more = true,
                  const std::wstring& title = L"Vaultpick", UINT style = MB_ICONERROR);

// The folder of this test program, where the build put vaultpick.exe and HLExtract.exe.
fs::path binFolder();

// A package of the given tree (default: the mixed tree of the library tests) and its files as
// List1 should show them, in the tool's order.
struct TestPackage {
  fs::path path;
  std::vector<std::wstring> entries;
  int index(const std::wstring& entry) const;
};
TestPackage makeTestPackage(const fs::path& target,
                            const hl::write::Node& tree = testing_support::mixedTree(8192));

// The names in a folder, sorted.
std::vector<std::wstring> namesIn(const fs::path& folder);

std::vector<std::wstring> listBoxEntries(HWND list);
std::wstring windowText(HWND window);

// Closing Form1 posts the program's quit message; tests take it out of their queue again.
bool takeQuitMessage();
// Handles this thread's messages as the program's loop does until `done` holds or the time is
// up; what `done` says then.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
inline void settle() {
  pumpUntil([] { return false; }, std::chrono::milliseconds(300));
}

// Form1 loaded in the test's process, with a private TEMP and scripted dialogs.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L"")); }
  // Lists the package in Form1 as Open does.
  void open(const fs::path& package);
  void select(int index) { SendMessageW(form.List1(), LB_SETCURSEL, index, 0); }
  std::wstring lastMessage() const {
    return dialogs.messages.empty() ? L"(no box)" : dialogs.messages.back().text;
  }

  PrivateTemp temp;
  ScratchFolder scratch;
  ScriptedDialogs dialogs;
  vaultpick::Form1 form{dialogs};
};

// A started program. One still running when this goes is ended by force, so a failing test
// leaves no process behind.
class ChildProcess {
 public:
  explicit ChildProcess(HANDLE process) : process_(process) {}
  ~ChildProcess();
  explicit operator bool() const { return static_cast<bool>(process_); }
  HANDLE handle() const { return process_.get(); }
  DWORD id() const { return GetProcessId(process_.get()); }
  // The exit code once the program has ended within `milliseconds`, else nothing.
  std::optional<DWORD> exitCode(DWORD milliseconds) const;

 private:
  vaultpick::UniqueHandle process_;
};

// A program of this build's bin folder started with `arguments`: its process handle, or nullptr
// when it could not be started.
HANDLE startFromBin(const std::wstring& program, const std::wstring& arguments);

}  // namespace program_testing
