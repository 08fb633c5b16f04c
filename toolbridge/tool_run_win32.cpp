// Running the package tool and accounting for every run.
#include <algorithm>
#include <vector>

#include "resources/texts.h"
#include "toolbridge/environment.h"
#include "toolbridge/tool_output.h"
#include "toolbridge/tool_run.h"
#include "win32/handles.h"
#include "win32/message_pump.h"
#include "win32/process_start.h"

namespace vaultpick {

namespace {

constexpr DWORD kPollInterval = 10;  // ms between looks at the child and the window messages
constexpr DWORD kReadPiece = 4096;   // bytes of output handled between two turns of messages
// A tool that streams results stops after its current item once its pipe is closed; this is
// how long the program waits for that when it ends.
constexpr DWORD kStopGrace = 5000;
// Standard error is read whole but only its beginning is kept; the first line is the reason.
constexpr size_t kKeptErrorOutput = size_t{16} * 1024;

// One end of a pipe for the child's output: ours to read, and its own, inheritable, to write.
struct OutputPipe {
  UniqueHandle read, write;
  bool open() {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, &inheritable, 64 * 1024)) return false;
    read = UniqueHandle(reading);
    write = UniqueHandle(writing);
    return SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0) != 0;
  }
  // Reads what is waiting, at most one buffer, without blocking, so neither a child that writes
  // without pause nor the handling of what it wrote keeps the caller long from its window
  // messages. The bytes read.
  template <typename Take>
  size_t drain(Take take) {
    DWORD waiting = 0;
    if (!read || !PeekNamedPipe(read.get(), nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0)
      return 0;
    char buffer[kReadPiece];
    DWORD got = 0;
    if (!ReadFile(read.get(), buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr))
      return 0;
    take(std::string_view(buffer, got));
    return got;
  }
};

std::wstring systemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", length);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return message.empty() ? text::kSystemError + std::to_wstring(error) : message;
}

}  // namespace

ToolRun runTool(const std::wstring& cmdline, const OutputSink& output) {
  ToolRun run;
  OutputPipe out, err;
  if (!out.open() || !err.open()) {
    run.startError = GetLastError();
    return run;
  }
  UniqueHandle child;
  run.startError = startHidden(cmdline, out.write.get(), err.write.get(), child);
  // Only the child holds the writing ends now, so nothing else started later inherits them.
  out.write.close();
  err.write.close();
  if (run.startError != 0) return run;
  run.started = true;

  auto takeOutput = [&](std::string_view bytes) {
    if (output) output(bytes);
  };
  auto takeError = [&](std::string_view bytes) {
    if (run.errorOutput.size() < kKeptErrorOutput) run.errorOutput.append(bytes);
  };
  bool ending = false;
  for (;;) {
    // Straight on while more output is waiting than one piece, else one poll interval: each
    // turn of messages may repaint the window, which costs more than a few result lines.
    const bool busy = out.drain(takeOutput) == kReadPiece || err.drain(takeError) == kReadPiece;
    if (WaitForSingleObject(child.get(), busy ? 0 : kPollInterval) != WAIT_TIMEOUT) break;
    if (!handlePendingMessages()) {
      ending = true;
      break;
    }
  }
  if (ending) {
    // The closed pipe is the tool's signal to stop between two items.
    out.read.close();
    err.read.close();
    if (output) WaitForSingleObject(child.get(), kStopGrace);
    return run;
  }
  // The child has ended: all it wrote is in the pipes.
  while (out.drain(takeOutput) + err.drain(takeError) > 0) {
  }
  run.ended = GetExitCodeProcess(child.get(), &run.exitCode) != 0;
  return run;
}

std::wstring toolFailureReason(const ToolRun& run) {
  if (!run.started) return text::kToolNotStarted + systemMessage(run.startError);
  const std::wstring reason = fromToolText(firstReason(run.errorOutput));
  return reason.empty() ? text::kToolExitCode + std::to_wstring(run.exitCode) : reason;
}

}  // namespace vaultpick
