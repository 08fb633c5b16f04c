// Timing, processes and windows for the program's benchmarks under Wine.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace bench {

// Seconds on the performance counter.
inline double now() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double mean(const std::vector<double>& times) {
  double sum = 0;
  for (double t : times) sum += t;
  return times.empty() ? 0 : sum / static_cast<double>(times.size());
}

inline std::wstring quoted(const std::wstring& word) { return L"\"" + word + L"\""; }

inline bool start(std::wstring line, PROCESS_INFORMATION& process) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process) != 0;
}

// Seconds for a console program started with `line` to end: on this program's console (no
// `outputFile`), or as the program starts the tool, with no console (Wine would start a console
// host for one) and its output going to `outputFile`, replaced. Not NUL: Wine takes a few
// milliseconds for each write there.
inline double timeRun(std::wstring line, const std::wstring& outputFile = {}) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE output = outputFile.empty()
                      ? INVALID_HANDLE_VALUE
                      : CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                    CREATE_ALWAYS, 0, nullptr);
  const bool redirected = output != INVALID_HANDLE_VALUE;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
  }
  PROCESS_INFORMATION process{};
  const double begin = now();
  const BOOL started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, redirected,
                     redirected ? DETACHED_PROCESS : 0, nullptr, nullptr, &startup, &process);
  if (redirected) CloseHandle(output);
  if (!started) return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  const double took = now() - begin;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return took;
}

// The first visible top-level window of `process` with this class and title (any title: null).
inline HWND visibleWindowOf(DWORD process, const wchar_t* windowClass, const wchar_t* title) {
  for (HWND window = FindWindowExW(nullptr, nullptr, windowClass, title); window;
       window = FindWindowExW(nullptr, window, windowClass, title)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

// The arguments both program timers take:
//   <vaultpick.exe> <HLExtract.exe> <package> <files> <runs> <scratch folder>
struct TimerArguments {
  std::wstring program, tool, package, scratch;
  LRESULT files = 0;
  int runs = 1;
};

// Reads the arguments (false, after the usage, when they are not all there) and prepares the
// run: the program's TEMP is the scratch folder, apart from the caller's, and a hidden window of
// our own keeps Wine's desktop process up between the runs, as the desktop always is on Windows;
// otherwise every start of the program would pay for starting it.
inline bool prepareTimer(const char* name, int argc, wchar_t** argv, TimerArguments& arguments) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: %s <vaultpick.exe> <HLExtract.exe> <package> <files> <runs> "
                 "<scratch folder>\n",
                 name);
    return false;
  }
  arguments = {argv[1],
               argv[2],
               argv[3],
               argv[6],
               std::wcstol(argv[4], nullptr, 10),
               std::max(1, static_cast<int>(std::wcstol(argv[5], nullptr, 10)))};
  SetEnvironmentVariableW(L"TEMP", arguments.scratch.c_str());
  CreateWindowExW(0, L"STATIC", L"timer", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  return true;
}

inline void summary(const char* label, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  std::printf("%-44s mean %8.1f ms  median %8.1f ms  min %8.1f ms  (%zu runs)\n", label,
              mean(times) * 1000, times[times.size() / 2] * 1000, times.front() * 1000,
              times.size());
}

}  // namespace bench
