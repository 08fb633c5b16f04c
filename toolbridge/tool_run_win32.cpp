// Running the package tool and accounting for every run.
#include <algorithm>
#include <vector>

#include "toolbridge/environment.h"
#include "toolbridge/tool_output.h"
#include "toolbridge/tool_run.h"
#include "ui/dialogs.h"
#include "ui/handles.h"
#include "ui/message_pump.h"
#include "ui/texts.h"

namespace vaultpick {

namespace {

constexpr int kStartAttempts = 5;
constexpr DWORD kFirstRetryDelay = 20;  // ms, doubled for each further try
constexpr DWORD kPollInterval = 10;     // ms between looks at the child and the window messages
constexpr DWORD kReadPiece = 4096;      // bytes of output handled between two turns of messages
// A tool that streams results stops after its current item once its pipe is closed; this is
// how long the program waits for that when it ends.
constexpr DWORD kStopGrace = 5000;
// Standard error is read whole but only its beginning is kept; the first line is the reason.
constexpr size_t kKeptErrorOutput = size_t{16} * 1024;

// Errors that a moment may cure: Wine's process start failing under load, or a freshly written
// executable still held by a scanner.
bool isTransientStartError(DWORD error) {
  switch (error) {
    case ERROR_INTERNAL_ERROR:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
      return true;
    default:
      return false;
  }
}

// Handles window messages until `milliseconds` have passed; false when the program is ending.
bool pauseHandlingMessages(DWORD milliseconds) {
  const ULONGLONG until = GetTickCount64() + milliseconds;
  for (ULONGLONG now = GetTickCount64(); now < until; now = GetTickCount64()) {
    if (!handlePendingMessages()) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
  }
  return handlePendingMessages();
}

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

DWORD startWithRetries(const std::function<DWORD()>& start) {
  DWORD delay = kFirstRetryDelay;
  for (int attempt = 1;; ++attempt) {
    const DWORD error = start();
    if (error == 0 || !isTransientStartError(error) || attempt == kStartAttempts) return error;
    if (!pauseHandlingMessages(delay)) return error;
    delay *= 2;
  }
}

ToolRun runTool(const std::wstring& cmdline, const OutputSink& output) {
  ToolRun run;
  OutputPipe out, err;
  if (!out.open() || !err.open()) {
    run.startError = GetLastError();
    return run;
  }
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdOutput = out.write.get();
  startup.StartupInfo.hStdError = err.write.get();
  // The child inherits these two handles and no other, whatever else is inheritable here (a
  // file that another part of the process writes must not stay open in the tool).
  HANDLE inherited[] = {out.write.get(), err.write.get()};
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::vector<char> list(listSize);
  startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
  if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &listSize) ||
      !UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                 inherited, sizeof inherited, nullptr, nullptr)) {
    run.startError = GetLastError();
    return run;
  }
  struct ListDeleter {
    LPPROC_THREAD_ATTRIBUTE_LIST list;
    ~ListDeleter() { DeleteProcThreadAttributeList(list); }
  } deleteList{startup.lpAttributeList};
  PROCESS_INFORMATION process{};
  run.startError = startWithRetries([&] {
    // CreateProcessW may write into the command line, so each try gets a copy of its own.
    std::vector<wchar_t> line(cmdline.begin(), cmdline.end());
    line.push_back(L'\0');
    // The tool is a console program. Given no console at all it has none to make and hide
    // (Wine would start a console host process for it), so it starts in a fraction of the time.
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                          NORMAL_PRIORITY_CLASS | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT,
                          nullptr, nullptr, &startup.StartupInfo, &process)
               ? DWORD{0}
               : GetLastError();
  });
  // Only the child holds the writing ends now, so nothing else started later inherits them.
  out.write.close();
  err.write.close();
  if (run.startError != 0) return run;
  run.started = true;
  UniqueHandle child(process.hProcess), thread(process.hThread);

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

void reportToolFailure(Dialogs& dialogs, HWND owner, const std::wstring& what, const ToolRun& run) {
  if (run.succeeded() || (run.started && !run.ended)) return;
  dialogs.MsgBox(owner, what + L"\n\n" + toolFailureReason(run), text::kApplicationTitle,
                 MB_ICONERROR);
}

}  // namespace vaultpick
