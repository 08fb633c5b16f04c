// Wait: the child's start and end, and the windows staying responsive meanwhile.
#include <gtest/gtest.h>
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "program_support.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/tool_run.h"
#include "toolbridge/wait.h"
#include "ui/form1.h"

namespace program_testing {
namespace {

using testing_support::ScratchFolder;
using vaultpick::quoteArgument;
using vaultpick::Wait;

std::wstring sleepCommand(int milliseconds, const fs::path& doneFile) {
  return quoteArgument((binFolder() / L"vaultpick_test_child.exe").wstring()) + L" " +
         std::to_wstring(milliseconds) + L" " + quoteArgument(doneFile.wstring());
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Wait, IsFalseAtOnceForAProgramThatCannotStart) {
  ScratchFolder scratch;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Wait(quoteArgument((scratch / "no such program.exe").wstring())));
  EXPECT_FALSE(Wait(L""));
  EXPECT_LT(secondsSince(start), 1.0);
}

TEST(Wait, StartsThatFailForAPassingReasonAreTriedAgainAFewTimes) {
  struct Case {
    std::vector<DWORD> errors;  // what each try gives; the last one repeats
    size_t tries;
    DWORD result;
  };
  const Case cases[] = {
      {{0}, 1, 0},
      {{ERROR_INTERNAL_ERROR, ERROR_SHARING_VIOLATION, 0}, 3, 0},
      {{ERROR_ACCESS_DENIED, 0}, 2, 0},
      {{ERROR_INTERNAL_ERROR}, 5, ERROR_INTERNAL_ERROR},
      {{ERROR_FILE_NOT_FOUND}, 1, ERROR_FILE_NOT_FOUND},
      {{ERROR_INTERNAL_ERROR, ERROR_BAD_EXE_FORMAT}, 2, ERROR_BAD_EXE_FORMAT},
  };
  for (const Case& c : cases) {
    size_t tries = 0;
    const DWORD result = vaultpick::startWithRetries(
        [&] { return c.errors[std::min(tries++, c.errors.size() - 1)]; });
    EXPECT_EQ(tries, c.tries) << c.errors.front();
    EXPECT_EQ(result, c.result) << c.errors.front();
  }
}

TEST(Wait, ARunGivesTheToolsExitCodeAndItsReason) {
  ScratchFolder scratch;
  const vaultpick::ToolRun run =
      vaultpick::runTool(quoteArgument((binFolder() / L"HLExtract.exe").wstring()) + L" -p " +
                         quoteArgument((scratch / "none.gcf").wstring()) + L" -l");
  EXPECT_TRUE(run.started && run.ended);
  EXPECT_EQ(run.exitCode, 3u);
  EXPECT_EQ(run.errorOutput.rfind("hlextract: ", 0), 0u) << run.errorOutput;
  EXPECT_NE(vaultpick::toolFailureReason(run).find(L"none.gcf"), std::wstring::npos);
}

TEST(Wait, IsTrueOnceTheChildHasEnded) {
  ScratchFolder scratch;
  EXPECT_TRUE(Wait(sleepCommand(0, scratch / "quick")));
  EXPECT_TRUE(fs::exists(scratch / "quick"));
  EXPECT_TRUE(Wait(sleepCommand(300, scratch / "slower")));
  EXPECT_TRUE(fs::exists(scratch / "slower"));
}

TEST(Wait, WindowsAnswerDuringALongChildAndANestedListingEndsInsideIt) {
  PrivateTemp temp;
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch / "demo.gcf");
  ScriptedDialogs dialogs;
  vaultpick::Form1 form(dialogs);
  ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L""));
  dialogs.willPick(package.path);
  // Open is pressed while the long child runs.
  PostMessageW(form.window(), WM_COMMAND, MAKEWPARAM(vaultpick::Form1::kIdCommand1, BN_CLICKED),
               reinterpret_cast<LPARAM>(form.Command1()));
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Wait(sleepCommand(1500, scratch / "done")));
  EXPECT_GE(secondsSince(start), 1.4);
  EXPECT_TRUE(fs::exists(scratch / "done"));
  EXPECT_EQ(dialogs.filters.size(), 1u);
  EXPECT_EQ(listBoxEntries(form.List1()), package.entries);
}

TEST(Wait, GivesUpWhenTheWindowIsClosedAndLeavesTheChildToFinish) {
  PrivateTemp temp;
  ScratchFolder scratch;
  ScriptedDialogs dialogs;
  vaultpick::Form1 form(dialogs);
  ASSERT_TRUE(form.Load(GetModuleHandleW(nullptr), L""));
  PostMessageW(form.window(), WM_CLOSE, 0, 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Wait(sleepCommand(1500, scratch / "done")));
  EXPECT_LT(secondsSince(start), 1.0);
  EXPECT_FALSE(form.alive());
  EXPECT_TRUE(takeQuitMessage());
  // The child was not killed: it runs to its end.
  for (int i = 0; i < 50 && !fs::exists(scratch / "done"); ++i) Sleep(100);
  EXPECT_TRUE(fs::exists(scratch / "done"));
}

TEST(ToolCommandLine, EveryWordReachesTheChildUnchanged) {
  // The system's own splitting is the judge of the quoting.
  const std::vector<std::wstring> words = {L"C:\\Program Files\\x\\hlextract.exe",
                                           L"D:\\out\\",
                                           L"C:\\a b\\\\",
                                           L"root\\x\" -d \"C:\\elsewhere",
                                           L"a\\\\\"b",
                                           L"",
                                           L"\u00fc \u0444"};
  std::wstring line;
  for (const std::wstring& word : words) line += quoteArgument(word) + L" ";
  int count = 0;
  LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
  ASSERT_NE(split, nullptr);
  ASSERT_EQ(static_cast<size_t>(count), words.size());
  for (size_t i = 1; i < words.size(); ++i) EXPECT_EQ(split[i], words[i]) << i;
  EXPECT_EQ(std::wstring(split[0]), words[0]);
  LocalFree(split);
}

}  // namespace
}  // namespace program_testing
