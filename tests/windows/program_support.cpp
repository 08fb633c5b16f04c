// Helpers of the program's tests under Wine.
#include "program_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "ui/message_pump.h"

namespace program_testing {

namespace {

std::optional<std::wstring> environmentValue(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

fs::path madeFolder(const fs::path& folder) {
  fs::create_directories(folder);
  return folder;
}

}  // namespace

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name, const std::wstring& value)
    : name_(name), previous_(environmentValue(name)) {
  SetEnvironmentVariableW(name_, value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  SetEnvironmentVariableW(name_, previous_ ? previous_->c_str() : nullptr);
}

PrivateTemp::PrivateTemp()
    : path_(madeFolder(scratch_.path() / L"temp \u00fc\u0444")), variable_(L"TEMP", path_) {}

namespace {

// The next answer of a queue; a dialog shown with none scripted fails the test and cancels.
template <typename Answer>
Answer takeAnswer(std::vector<Answer>& answers, const char* dialog, Answer none) {
  if (answers.empty()) {
    ADD_FAILURE() << "the " << dialog << " was shown with no answer scripted";
    return none;
  }
  Answer answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

}  // namespace

std::optional<std::wstring> ScriptedDialogs::ShowOpen(HWND, const std::wstring& filter) {
  filters.push_back(filter);
  return takeAnswer(openAnswers_, "open dialog", std::optional<std::wstring>());
}

std::optional<std::wstring> ScriptedDialogs::ShowSave(HWND, const std::wstring& filter,
                                                      const std::wstring& fileName) {
  saves.push_back({filter, fileName});
  return takeAnswer(saveAnswers_, "save dialog", std::optional<std::wstring>());
}

std::wstring ScriptedDialogs::BrowseForFolder(HWND owner, const std::wstring& title, UINT flags) {
  folders.push_back({owner, title, flags});
  return takeAnswer(folderAnswers_, "folder chooser", std::wstring());
}

void ScriptedDialogs::MsgBox(HWND, const std::wstring& text, const std::wstring& title,
                             UINT style) {
  messages.push_back({text, title, style});
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
  return started;
}

fs::path binFolder() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path();
}

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
  // And every file of the tree is there, once.
  std::set<std::wstring> listed(package.entries.begin(), package.entries.end()), expected;
  for (const auto& [path, bytes] : testing_support::expectedFiles(tree))
    expected.emplace(path.begin(), path.end());
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(listed.size(), package.entries.size());
  return package;
}

TestPackage makeTestPackage(const fs::path& target) {
  return makeTestPackage(target, testing_support::mixedTree(8192));
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

}  // namespace program_testing
