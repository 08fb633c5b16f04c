// Helpers of the program's tests under Wine: a private TEMP, scripted dialogs, packages made by
// our writer, Form1 in the test's own process, the program as a process of its own, and reading
// windows back.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// These need the types of windows.h.
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>

#include "../native/test_support.h"
#include "startup/form1_handlers.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/list_package.h"
#include "win32/handles.h"
#include "win32/message_pump.h"

namespace program_testing {

namespace fs = std::filesystem;
using namespace testing_support;

// An environment variable of this process set to `value` for as long as this lives.
struct ScopedEnvironmentVariable {
  ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value)
      : name_(name), previous_(vaultpick::environmentVariable(name)) {
    SetEnvironmentVariableW(name_, value.c_str());
  }
  ~ScopedEnvironmentVariable() {
    SetEnvironmentVariableW(name_, previous_.empty() ? nullptr : previous_.c_str());
  }
  const wchar_t* name_;
  std::wstring previous_;
};

// A scratch folder (its name holds a space and non-ASCII letters, as a user's may) that is
// TEMP for as long as this lives.
class PrivateTemp {
 public:
  PrivateTemp() { fs::create_directories(path_); }
  const fs::path& path() const { return path_; }
  fs::path listFile() const { return path_ / L"tmp.txt"; }

 private:
  ScratchFolder scratch_;
  fs::path path_ = scratch_.path() / L"temp \u00fc\u0444";
  ScopedEnvironmentVariable variable_{L"TEMP", path_};
};

// Answers what would block on a person from a script: each dialog takes the next answer (a
// path, or nothing for Cancel; none scripted fails the test) and is recorded with what it was
// shown.
class ScriptedDialogs : public vaultpick::Dialogs {
 public:
  void will(const std::optional<fs::path>& answer) {
    answers_.push_back(answer ? std::optional<std::wstring>(answer->wstring()) : std::nullopt);
  }
  std::optional<std::wstring> ShowOpen(HWND, const std::wstring& filter) override {
    return filters.push_back(filter), nextAnswer();
  }
  std::optional<std::wstring> ShowSave(HWND owner, const std::wstring& filter,
                                       const std::wstring& fileName) override {
    return saves.push_back({owner, filter, fileName, 0}), nextAnswer();
  }
  std::wstring BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) override {
    return folders.push_back({owner, L"", title, flags}), nextAnswer().value_or(L"");
  }
  void MsgBox(HWND owner, const std::wstring& text, const std::wstring& title,
              UINT style) override {
    messages.push_back({owner, text, title, style});
  }
  vaultpick::ShellStarted StartShellExecute(HWND owner, const std::wstring& verb,
                                            const std::wstring& file,
                                            const std::wstring& parameters,
                                            const std::wstring& directory, int show) override {
    std::error_code error;
    shellOpens.push_back(
        {owner, verb, file, parameters, directory, show,
         fs::is_regular_file(file, error) ? readFile(file) : std::vector<uint8_t>()});
    if (closeWhenStarted) PostMessageW(closeWhenStarted, WM_CLOSE, 0, 0);
    return {42, std::move(willStart)};  // 42: a started application, as the shell reports it
  }
  // The shell's open reports this process as started (none unless set), then closes this
  // window when set (a person closing the program while the application runs).
  vaultpick::UniqueHandle willStart;
  HWND closeWhenStarted = nullptr;

  // A save dialog: text = filter, title = the file name offered; a folder chooser: title, style.
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
    std::vector<uint8_t> content;  // the file's bytes when it was handed over
  };
  std::vector<ShellOpen> shellOpens;

 private:
  std::optional<std::wstring> nextAnswer() {
    EXPECT_FALSE(answers_.empty()) << "a dialog was shown with no answer scripted";
    if (answers_.empty()) return std::nullopt;
    const std::optional<std::wstring> answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
  }
  std::vector<std::optional<std::wstring>> answers_;
};

// Exactly one box was shown: the program's critical one ("Vaultpick", the error icon) unless told
// otherwise, its text beginning with `start` and going on past it when `more`.
inline void expectOneBox(const ScriptedDialogs& dialogs, const std::wstring& start,
                         bool more = true, const std::wstring& title = L"Vaultpick",
                         UINT style = MB_ICONERROR) {
  ASSERT_EQ(dialogs.messages.size(), 1u);
  const ScriptedDialogs::Shown& box = dialogs.messages[0];
  EXPECT_EQ(box.text.substr(0, start.size()), start) << fs::path(box.text).u8string();
  EXPECT_EQ(box.text.size() > start.size(), more) << fs::path(box.text).u8string();
  EXPECT_EQ(box.title, title);
  EXPECT_EQ(box.style, style);
}

// The folder of this test program, where the build put vaultpick.exe and HLExtract.exe.
inline fs::path binFolder() { return fs::path(vaultpick::ownExecutablePath()).parent_path(); }

// A package of the given tree and its files as List1 should show them, in the order of the list
// file that the built tool writes.
struct TestPackage {
  fs::path path;
  std::vector<std::wstring> entries;
  int index(const std::wstring& entry) const {
    const auto at = std::find(entries.begin(), entries.end(), entry);
    EXPECT_NE(at, entries.end()) << "no entry " << fs::path(entry).u8string();
    return static_cast<int>(at - entries.begin());
  }
};
inline TestPackage makeTestPackage(const fs::path& target, const Node& tree = mixedTree(8192)) {
  TestPackage package{makePackage(tree, Options(), target), {}};
  ScratchFolder scratch;
  const fs::path listFile = scratch / "list.txt";
  ToolResult result = runTool({L"-p", package.path.wstring(), L"-lf", listFile.wstring()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::ifstream list(listFile, std::ios::binary);
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    package.entries.emplace_back(line.begin() + 5, line.end());  // past "root\"
  }
  EXPECT_FALSE(package.entries.empty());
  return package;
}

// Texts read with messages, which reach windows of other processes too (GetWindowTextW does not).
inline std::wstring textOf(HWND window, UINT lengthMessage, UINT textMessage, WPARAM item) {
  std::wstring text(static_cast<size_t>(SendMessageW(window, lengthMessage, item, 0)) + 1, L'\0');
  const WPARAM which = textMessage == WM_GETTEXT ? text.size() : item;
  text.resize(static_cast<size_t>(
      SendMessageW(window, textMessage, which, reinterpret_cast<LPARAM>(text.data()))));
  return text;
}
inline std::wstring windowText(HWND window) {
  return textOf(window, WM_GETTEXTLENGTH, WM_GETTEXT, 0);
}
inline std::vector<std::wstring> listBoxEntries(HWND list) {
  std::vector<std::wstring> entries(static_cast<size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0)));
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = textOf(list, LB_GETTEXTLEN, LB_GETTEXT, i);
  return entries;
}

// Closing Form1 posts the program's quit message; tests take it out of their queue again.
inline bool takeQuitMessage() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}
// Handles this thread's messages as the program's loop does until `done` holds or the time is
// up; what `done` says then.
inline bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (MSG message; !done() && std::chrono::steady_clock::now() < end; Sleep(5))
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) vaultpick::dispatchMessage(message);
  return done();
}
inline void settle() {
  pumpUntil([] { return false; }, std::chrono::milliseconds(300));
}

// Form1 loaded in the test's process, with a private TEMP and scripted dialogs.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L"")); }
  // Lists the package in Form1 as Open does.
  void open(const fs::path& package) {
    form.setText2(package.wstring());
    vaultpick::ListPackage(form);
  }
  void select(int index) { SendMessageW(form.List1(), LB_SETCURSEL, index, 0); }
  void add(const wchar_t* entry) {
    SendMessageW(form.List1(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  }
  std::wstring lastMessage() const {
    return dialogs.messages.empty() ? L"(no box)" : dialogs.messages.back().text;
  }

  PrivateTemp temp;
  ScratchFolder scratch;
  ScriptedDialogs dialogs;
  vaultpick::Form1 form{dialogs, vaultpick::form1Handlers()};
};

// A program of this build's bin folder started with `arguments`, ended by force if still running
// when this goes, so a failing test leaves no process behind.
struct ChildProcess {
  ChildProcess(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line =
        vaultpick::quoteArgument((binFolder() / program).wstring()) + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &started)) {
      CloseHandle(started.hThread);
      process = vaultpick::UniqueHandle(started.hProcess);
    }
  }
  ~ChildProcess() {
    if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 5000);
    }
  }
  // The exit code once the program has ended within `milliseconds`, else nothing.
  std::optional<DWORD> exitCode(DWORD milliseconds) const {
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), milliseconds) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &code))
      return std::nullopt;
    return code;
  }
  vaultpick::UniqueHandle process;
};

}  // namespace program_testing
