// A stand-in for a long tool run in the program's tests: sleeps for the milliseconds given,
// then creates the file given, if any, so a test can tell that it ran to its end.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
  if (argc > 2) {
    HANDLE done = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (done == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(done);
  }
  return 0;
}
