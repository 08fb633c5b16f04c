// A stand-in for other programs in the program's tests: sleeps MS milliseconds (a long tool run,
// an application the shell started), then creates FILE, if given, so a test can tell that it ran
// to its end. As the tool (an option first) it writes VAULTPICK_STAND_IN_OUTPUT's text and ends.
//   vaultpick_test_child MS [FILE]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const char* output = std::getenv("VAULTPICK_STAND_IN_OUTPUT");
  if (argv[1][0] == L'-') return output && std::fputs(output, stdout) >= 0 ? 0 : 2;
  Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
  FILE* done = argc > 2 ? _wfopen(argv[2], L"wb") : nullptr;
  return argc > 2 && !(done && std::fclose(done) == 0) ? 1 : 0;
}
