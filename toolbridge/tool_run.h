// Running the package tool and accounting for every run: transient start failures are retried,
// and the tool's exit code and its reason on standard error come back to the caller.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace vaultpick {

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

// The tool's reason for a failed run in plain words: its first line on standard error, what
// kept it from starting, or its exit code when it said nothing.
std::wstring toolFailureReason(const ToolRun& run);

}  // namespace vaultpick
