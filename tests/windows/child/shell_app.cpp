// The application that the Shell Execute tests register for a file type of their own, with
// what it does first in its command line:
//   handoff RESULT FILE  starts "read RESULT FILE" as a process of its own and ends at once, as
//                        applications that hand a file to their running instance do;
//   read RESULT FILE     2 s later copies FILE's bytes to RESULT (whole, through a sibling);
//   hold MS FILE         stays that long, like a viewer that the user keeps open;
//   -p ...               stands in for the tool (copied over HLExtract.exe): adds a line to
//                        "tool runs.txt" beside itself and extracts nothing.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring quoted(const std::wstring& word) { return L"\"" + word + L"\""; }

std::wstring ownPath() {
  wchar_t self[MAX_PATH];
  return std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
}

int handOff(const wchar_t* result, const wchar_t* file) {
  std::wstring line = quoted(ownPath()) + L" read " + quoted(result) + L" " + quoted(file);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started))
    return 1;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return 0;
}

int noteToolRun() {
  const std::wstring self = ownPath();
  const std::wstring runsFile = self.substr(0, self.rfind(L'\\')) + L"\\tool runs.txt";
  HANDLE runs =
      CreateFileW(runsFile.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (runs == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(runs, "run\r\n", 5, &written, nullptr);
  CloseHandle(runs);
  return 0;
}

int readLater(const wchar_t* result, const wchar_t* file) {
  Sleep(2000);
  HANDLE in = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return 1;
  std::vector<char> bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0)
    bytes.insert(bytes.end(), buffer, buffer + read);
  CloseHandle(in);
  const std::wstring partial = std::wstring(result) + L".part";
  HANDLE out = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const bool whole =
      WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(out);
  return whole && MoveFileExW(partial.c_str(), result, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Ready for input at once, as a windowed application is: the shell may wait for that.
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"-p") return noteToolRun();
  if (argc != 4) return 2;
  if (mode == L"handoff") return handOff(argv[2], argv[3]);
  if (mode == L"read") return readLater(argv[2], argv[3]);
  if (mode == L"hold") {
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    return 0;
  }
  return 2;
}
