// The system's side of the shell's open: the program waits for what the shell started.
#include <gtest/gtest.h>

#include "program_support.h"

namespace program_testing {
namespace {

TEST(ShellExecuteWait, ReturnsOnlyOnceTheStartedProcessHasEnded) {
  testing_support::ScratchFolder scratch;
  const fs::path done = scratch / "done";
  vaultpick::Win32Dialogs shell;
  // The child sleeps, then leaves a file behind: it is there as soon as the call returns.
  const INT_PTR result = shell.ShellExecuteWait(
      nullptr, L"open", (binFolder() / L"vaultpick_test_child.exe").wstring(),
      L"400 \"" + done.wstring() + L"\"", L"", SW_SHOWNORMAL);
  EXPECT_GT(result, 32);
  EXPECT_TRUE(fs::exists(done));
}

}  // namespace
}  // namespace program_testing
