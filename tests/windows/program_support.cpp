// Helpers of the program's tests under Wine.
#include "program_support.h"

#include <commctrl.h>

#include <algorithm>
#include <fstream>

#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "ui/list_package.h"
#include "win32/message_pump.h"

namespace program_testing {

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value)
    : name_(name), previous_(vaultpick::environmentVariable(name)) {
  SetEnvironmentVariableW(name_, value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  SetEnvironmentVariableW(name_, previous_.empty() ? nullptr : previous_.c_str());
}

PrivateTemp::PrivateTemp()
    : path_(scratch_.path() / L"temp \u00fc\u0444"), variable_(L"TEMP", path_) {
  fs::create_directories(path_);
}

std::optional<std::wstring> ScriptedDialogs::nextAnswer() {
  // A dialog shown with no answer scripted fails the test and is cancelled.
  if (answers_.empty()) {
    ADD_FAILURE() << "a dialog was shown with no answer scripted";
    return std::nullopt;
  }
  const std::optional<fs::path> answer = answers_.front();
  answers_.erase(answers_.begin());
  return answer ? std::optional<std::wstring>(answer->wstring()) : std::nullopt;
}

std::optional<std::wstring> ScriptedDialogs::ShowOpen(HWND, const std::wstring& filter) {
  filters.push_back(filter);
  return nextAnswer();
}

std::optional<std::wstring> ScriptedDialogs::ShowSave(HWND owner, const std::wstring& filter,
                                                      const std::wstring& fileName) {
  saves.push_back({owner, filter, fileName, 0});
  return nextAnswer();
}

std::wstring ScriptedDialogs::BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) {
  folders.push_back({owner, L"", title, flags});
  return nextAnswer().value_or(L"");
}

void ScriptedDialogs::MsgBox(HWND owner, const std::wstring& text, const std::wstring& title,
                             UINT style) {
  messages.push_back({owner, text, title, style});
}

vaultpick::ShellStarted ScriptedDialogs::StartShellExecute(HWND owner, const std::wstring& verb,
                                                           const std::wstring& file,
                                                           const std::wstring& parameters,
                                                           const std::wstring& directory,
                                                           int show) {
  std::optional<std::vector<uint8_t>> content;
  std::error_code error;
  if (fs::is_regular_file(file, error)) content = testing_support::readFile(file);
  shellOpens.push_back({owner, verb, file, parameters, directory, show, content});
  vaultpick::ShellStarted started;
  started.result = 42;  // a started application, as the shell reports it
  started.process = std::move(willStart);
  if (closeWhenStarted) PostMessageW(closeWhenStarted, WM_CLOSE, 0, 0);
  return started;
}

fs::path binFolder() { return fs::path(vaultpick::ownExecutablePath()).parent_path(); }

TestPackage makeTestPackage(const fs::path& target, const hl::write::Node& tree) {
  TestPackage package{testing_support::makePackage(tree, hl::write::Options(), target), {}};
  // The entries in the tool's own order, from a list file that the built tool writes.
  testing_support::ScratchFolder scratch;
  fs::path listFile = scratch.path() / L"list.txt";
  testing_support::ToolResult result =
      testing_support::runTool({L"-p", package.path.wstring(), L"-lf", listFile.wstring()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  std::ifstream list(listFile, std::ios::binary);
  std::string line;
  while (std::getline(list, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    package.entries.emplace_back(line.begin() + 5, line.end());
  }
  EXPECT_FALSE(package.entries.empty());
  return package;
}

std::vector<std::wstring> listBoxEntries(HWND list) {
  std::vector<std::wstring> entries;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
    entry.resize(static_cast<size_t>(
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry.data()))));
    entries.push_back(entry);
  }
  return entries;
}

std::wstring windowText(HWND window) {
  // WM_GETTEXT rather than GetWindowTextW, which never asks a window of another process.
  LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < end) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) vaultpick::dispatchMessage(message);
    Sleep(5);
  }
  return done();
}

bool takeQuitMessage() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

void expectOneBox(const ScriptedDialogs& dialogs, const std::wstring& start, bool more,
                  const std::wstring& title, UINT style) {
  ASSERT_EQ(dialogs.messages.size(), 1u);
  const ScriptedDialogs::Shown& box = dialogs.messages[0];
  EXPECT_EQ(box.text.substr(0, start.size()), start) << fs::path(box.text).u8string();
  EXPECT_EQ(box.text.size() > start.size(), more) << fs::path(box.text).u8string();
  EXPECT_EQ(box.title, title);
  EXPECT_EQ(box.style, style);
}

int TestPackage::index(const std::wstring& entry) const {
  const auto at = std::find(entries.begin(), entries.end(), entry);
  EXPECT_NE(at, entries.end()) << "no entry " << fs::path(entry).u8string();
  return static_cast<int>(at - entries.begin());
}

std::vector<std::wstring> namesIn(const fs::path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

void FormTest::open(const fs::path& package) {
  form.setText2(package.wstring());
  vaultpick::ListPackage(form);
}

ChildProcess::~ChildProcess() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

std::optional<DWORD> ChildProcess::exitCode(DWORD milliseconds) const {
  DWORD code = 0;
  if (WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process_.get(), &code))
    return std::nullopt;
  return code;
}

HANDLE startFromBin(const std::wstring& program, const std::wstring& arguments) {
  std::wstring line =
      vaultpick::quoteArgument((binFolder() / program).wstring()) + L" " + arguments;
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started))
    return nullptr;
  CloseHandle(started.hThread);
  return started.hProcess;
}

}  // namespace program_testing
