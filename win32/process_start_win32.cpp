// Starting child processes.
#include <vector>

#include "win32/message_pump.h"
#include "win32/process_start.h"

namespace vaultpick {

namespace {

constexpr int kStartAttempts = 5;
constexpr DWORD kFirstRetryDelay = 20;  // ms, doubled for each further try

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

// CreateProcessW may write into the command line, so each call gets a copy of its own.
std::vector<wchar_t> writableCopy(const std::wstring& commandLine) {
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  return line;
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

DWORD startHidden(const std::wstring& commandLine, HANDLE output, HANDLE error,
                  UniqueHandle& process) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = error;
  // The child inherits these two handles and no other, whatever else is inheritable here (a
  // file that another part of the process writes must not stay open in the tool).
  HANDLE inherited[] = {output, error};
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::vector<char> list(listSize);
  startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
  if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &listSize))
    return GetLastError();
  struct ListDeleter {
    LPPROC_THREAD_ATTRIBUTE_LIST list;
    ~ListDeleter() { DeleteProcThreadAttributeList(list); }
  } deleteList{startup.lpAttributeList};
  if (!UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                 inherited, sizeof inherited, nullptr, nullptr))
    return GetLastError();
  PROCESS_INFORMATION started{};
  const DWORD result = startWithRetries([&] {
    std::vector<wchar_t> line = writableCopy(commandLine);
    // The tool is a console program. Given no console at all it has none to make and hide
    // (Wine would start a console host process for it), so it starts in a fraction of the time.
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                          NORMAL_PRIORITY_CLASS | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT,
                          nullptr, nullptr, &startup.StartupInfo, &started)
               ? DWORD{0}
               : GetLastError();
  });
  if (result != 0) return result;
  CloseHandle(started.hThread);
  process = UniqueHandle(started.hProcess);
  return 0;
}

bool startDetached(const std::wstring& application, const std::wstring& commandLine, WORD show) {
  std::vector<wchar_t> line = writableCopy(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace vaultpick
