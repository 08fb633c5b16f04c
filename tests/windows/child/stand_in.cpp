// A stand-in for other programs in the program's tests:
//   MS [FILE]  sleeps for MS milliseconds (a long tool run, an application the shell started),
//              then creates FILE, if given, so a test can tell that it ran to its end;
//   -p ...     stands in for the tool (copied over HLExtract.exe): adds a line to
//              "tool runs.txt" beside itself and extracts nothing.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (std::wstring(argv[1]) == L"-p") {
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    FILE* runs = _wfopen((path.substr(0, path.rfind(L'\\')) + L"\\tool runs.txt").c_str(), L"ab");
    return runs && std::fputs("run\r\n", runs) >= 0 && std::fclose(runs) == 0 ? 0 : 1;
  }
  Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
  FILE* done = argc > 2 ? _wfopen(argv[2], L"wb") : nullptr;
  return argc > 2 && !(done && std::fclose(done) == 0) ? 1 : 0;
}
