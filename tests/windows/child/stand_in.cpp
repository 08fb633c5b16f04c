// A stand-in for other programs in the program's tests:
//   MS [FILE]  sleeps for MS milliseconds (a long tool run, an application the shell started),
//              then creates FILE, if given, so a test can tell that it ran to its end;
//   -p ...     stands in for the tool (copied over HLExtract.exe): adds a line to
//              "tool runs.txt" beside itself and extracts nothing.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

bool createFile(const std::wstring& path, DWORD disposition, const char* line) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, disposition, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  CloseHandle(file);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  if (std::wstring(argv[1]) == L"-p") {
    wchar_t self[MAX_PATH];
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    return createFile(path.substr(0, path.rfind(L'\\')) + L"\\tool runs.txt", OPEN_ALWAYS,
                      "run\r\n")
               ? 0
               : 1;
  }
  Sleep(static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)));
  return argc > 2 && !createFile(argv[2], CREATE_ALWAYS, "") ? 1 : 0;
}
