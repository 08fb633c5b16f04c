// Running the package tool and accounting for every run: transient start failures are retried,
// and the tool's exit code and its reason on standard error come back to the caller.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace vaultpick {

class Dialogs;

// What became of one run of the tool.
struct ToolRun {
  bool started = false;     // the process was started (after any retries)
  bool ended = false;       // it ended while we waited; false when the program began to end first
  DWORD startError = 0;     // the system's error code when it could not be started
  DWORD exitCode = 0;       // its exit code once it has ended
  std::string errorOutput;  // what it wrote on standard error (its first lines)

  bool succeeded() const { return started && ended && exitCode == 0; }
};

// Gets the tool's standard output as it arrives, in pieces of any size.
using OutputSink = std::function<void(std::string_view)>;

// Starts `cmdline` hidden and without a console, its standard output and error read through
// pipes, and waits for it while handling window messages every 10 ms (handlers, and nested runs,
// go on meanwhile). When the program begins to end (its main window closed) the pipes are
// closed, which tells a tool that streams results to stop after its current item; when
// `output` is given the run waits a moment for the tool to stop, else the tool is left to
// finish on its own.
ToolRun runTool(const std::wstring& cmdline, const OutputSink& output = {});

// Calls `start` (0 when it started, else the system's error) until it starts, fails for a reason
// that waiting does not cure, or has been tried a few times; between tries it waits a moment
// longer each time, handling window messages meanwhile. Gives up at once when the program
// begins to end. The last error, or 0.
DWORD startWithRetries(const std::function<DWORD()>& start);

// The tool's reason for a failed run in plain words: its first line on standard error, what
// kept it from starting, or its exit code when it said nothing.
std::wstring toolFailureReason(const ToolRun& run);

// The one box for a failed run: the critical icon, "Vaultpick", OK alone; `what` says what
// failed, the tool's reason follows. Nothing when the run succeeded or the program is ending.
void reportToolFailure(Dialogs& dialogs, HWND owner, const std::wstring& what, const ToolRun& run);

}  // namespace vaultpick
