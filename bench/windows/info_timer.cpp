// Times the program's Info on one entry of a package, from the command to its box, against a
// bare start of the tool (-h, started as the program starts it), both under the same Wine (used
// by bench/program.sh):
//   info_timer.exe <vaultpick.exe> <HLExtract.exe> <package> <files> <runs> <scratch folder>
// The program is started with the package once; each run selects the middle entry, asks for
// Info as a double-click does, and closes the box when it shows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "stopwatch.h"

namespace {

using namespace bench;

constexpr int kList1 = 1005;  // Form1's list
constexpr wchar_t kInfoTitle[] = L"Information about GCF";

// Polls `found` every 2 ms for up to 60 s, while the process lives; null when it never came.
template <typename Find>
HWND waitFor(HANDLE process, Find&& found) {
  const double begin = now();
  for (;;) {
    if (HWND window = found()) return window;
    if (WaitForSingleObject(process, 2) != WAIT_TIMEOUT || now() - begin > 60) return nullptr;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  TimerArguments arguments;
  if (!prepareTimer("info_timer", argc, argv, arguments)) return 2;
  const std::wstring &program = arguments.program, &tool = arguments.tool,
                     &package = arguments.package, &scratch = arguments.scratch;
  const LRESULT files = arguments.files;
  const int runs = arguments.runs;

  PROCESS_INFORMATION process{};
  if (!start(quoted(program) + L" " + quoted(package), process)) return 1;
  const DWORD id = process.dwProcessId;
  HWND list = nullptr;
  HWND form = waitFor(process.hProcess, [&]() -> HWND {
    HWND shown = visibleWindowOf(id, L"VaultpickForm1", nullptr);
    list = shown ? GetDlgItem(shown, kList1) : nullptr;
    return list && SendMessageW(list, LB_GETCOUNT, 0, 0) == files ? shown : nullptr;
  });
  if (!form) {
    std::fprintf(stderr, "info_timer: the program never showed %ld entries\n",
                 static_cast<long>(files));
    return 1;
  }
  std::vector<double> infoTimes, bareTimes;
  for (int i = 0; i <= runs; ++i) {  // the first run warms up: the tool is written to TEMP
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(files / 2), 0);
    const double begin = now();
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(kList1, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    HWND box =
        waitFor(process.hProcess, [&] { return visibleWindowOf(id, L"#32770", kInfoTitle); });
    const double took = now() - begin;
    if (!box) {
      std::fprintf(stderr, "info_timer: no Info box came\n");
      return 1;
    }
    PostMessageW(box, WM_CLOSE, 0, 0);
    waitFor(process.hProcess, [&] { return IsWindow(box) ? nullptr : form; });
    if (i == 0) continue;
    infoTimes.push_back(took);
    bareTimes.push_back(timeRun(quoted(tool) + L" -h", scratch + L"\\bare-start.txt"));
  }
  PostMessageW(form, WM_CLOSE, 0, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  summary("Info on one entry, command to box", infoTimes);
  summary("HLExtract.exe -h alone", bareTimes);
  std::printf("ratio %.2fx\n", mean(infoTimes) / mean(bareTimes));
  return 0;
}
