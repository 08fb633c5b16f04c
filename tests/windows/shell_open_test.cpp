// The system's side of the shell's open: the program gets the process that the shell started.
#include <gtest/gtest.h>

#include "program_support.h"

namespace program_testing {
namespace {

TEST(StartShellExecute, ReportsTheStartedProcess) {
  testing_support::ScratchFolder scratch;
  const fs::path done = scratch / "done";
  vaultpick::Win32Dialogs shell;
  // The child sleeps, then leaves a file behind: it is there once its process has ended.
  const vaultpick::ShellStarted started = shell.StartShellExecute(
      nullptr, L"open", (binFolder() / L"vaultpick_test_child.exe").wstring(),
      L"400 \"" + done.wstring() + L"\"", L"", SW_SHOWNORMAL);
  EXPECT_GT(started.result, 32);
  ASSERT_TRUE(started.process);
  EXPECT_EQ(WaitForSingleObject(started.process.get(), 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(fs::exists(done));
}

}  // namespace
}  // namespace program_testing
