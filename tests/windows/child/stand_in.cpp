// A stand-in for other programs in the program's tests: sleeps for MS milliseconds (a long tool
// run, an application the shell started), then creates FILE, if given, so a test can tell that it
// ran to its end.
//   vaultpick_test_child MS [FILE]
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
  FILE* done = argc > 2 ? _wfopen(argv[2], L"wb") : nullptr;
  return argc > 2 && !(done && std::fclose(done) == 0) ? 1 : 0;
}
