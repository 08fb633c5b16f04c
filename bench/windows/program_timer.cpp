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
  TimerArguments arguments;
  if (!prepareTimer("program_timer", argc, argv, arguments)) return 2;
  const std::wstring &program = arguments.program, &tool = arguments.tool,
                     &package = arguments.package, &scratch = arguments.scratch;
  const LRESULT files = arguments.files;
  const int runs = arguments.runs;

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
