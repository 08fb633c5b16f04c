// Wait: runs one command line as a hidden child process and returns when it has ended, while
// the program's windows go on answering.
#pragma once

#include <string>

namespace vaultpick {

// Polls the child every 10 ms and handles every pending window message in between, so
// handlers can run (and nest their own waits) meanwhile; a start that fails for a passing reason
// is tried again (see runTool, which callers use to learn the tool's outcome). True when the
// child was started and has ended; false when it could not be started, or when the program
// began to end (its main window was closed) before the child did: the child is then left to
// finish on its own and the quit goes on to the loops above. `bShowApp` has no effect: the
// child's window is always hidden.
bool Wait(const std::wstring& cmdline, bool bShowApp = true);

}  // namespace vaultpick
