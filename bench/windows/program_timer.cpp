// Times vaultpick.exe from its start to a filled list, against the tool's own listing, both
// started the same way from this program under the same Wine (used by bench/program.sh):
//   program_timer.exe <vaultpick.exe> <HLExtract.exe> <package> <files> <runs> <scratch folder>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "stopwatch.h"

namespace {

using namespace bench;

// Seconds from the program's start until its window shows a list of `files` entries (with no
// package: until its empty window shows).
double timeProgram(const std::wstring& program, const std::wstring& package, LRESULT files) {
  PROCESS_INFORMATION process{};
  double begin = now();
  if (!start(quoted(program) + (package.empty() ? L"" : L" " + quoted(package)), process))
    return -1;
  double took = -1;
  for (;;) {
    HWND form = visibleWindowOf(process.dwProcessId, L"VaultpickForm1", nullptr);
    HWND list = form ? GetDlgItem(form, 1005 /* List1 */) : nullptr;
    if (list && SendMessageW(list, LB_GETCOUNT, 0, 0) == files) {
      took = now() - begin;
      PostMessageW(form, WM_CLOSE, 0, 0);
      break;
    }
    // Polled every 5 ms: asking much more often slows the program down under Wine.
    if (WaitForSingleObject(process.hProcess, 5) != WAIT_TIMEOUT || now() - begin > 60) break;
  }
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return took;
}

// Seconds for the tool alone to write the list file.
double timeTool(const std::wstring& tool, const std::wstring& package, const std::wstring& list) {
  return timeRun(quoted(tool) + L" -p " + quoted(package) + L" -lf " + quoted(list));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: program_timer <vaultpick.exe> <HLExtract.exe> <package> <files> <runs> "
                 "<scratch folder>\n");
    return 2;
  }
  const std::wstring program = argv[1], tool = argv[2], package = argv[3], scratch = argv[6];
  const LRESULT files = std::wcstol(argv[4], nullptr, 10);
  const int runs = std::max(1, static_cast<int>(std::wcstol(argv[5], nullptr, 10)));
  // The program lists into its TEMP; keep that apart from the caller's.
  SetEnvironmentVariableW(L"TEMP", scratch.c_str());
  // A hidden window of our own keeps Wine's desktop process up between the runs, as the desktop
  // always is on Windows; otherwise every start of the program would pay for starting it.
  CreateWindowExW(0, L"STATIC", L"program_timer", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                  nullptr);

  std::vector<double> programTimes, toolTimes, bareTimes;
  timeProgram(program, package, files);  // warm-up: the tool files are written, caches filled
  for (int i = 0; i < runs; ++i) {
    double t = timeProgram(program, package, files);
    if (t < 0) {
      std::fprintf(stderr, "program_timer: the program never showed %ld entries\n",
                   static_cast<long>(files));
      return 1;
    }
    programTimes.push_back(t);
    toolTimes.push_back(timeTool(tool, package, scratch + L"\\bench-list.txt"));
    bareTimes.push_back(timeProgram(program, L"", 0));
  }
  summary("vaultpick.exe start to a filled list", programTimes);
  summary("HLExtract.exe -lf alone", toolTimes);
  // Context, not a baseline: what Wine takes to start any window of the program.
  summary("vaultpick.exe start to its empty window", bareTimes);
  std::printf("ratio %.2fx (goal <= 1.5)\n", mean(programTimes) / mean(toolTimes));
  return 0;
}
