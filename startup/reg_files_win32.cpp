// RegFiles: installing a control library into the system folder.
#include <windows.h>

#include <vector>

#include "startup/command_text.h"
#include "startup/reg_files.h"
#include "startup/tool_files.h"

namespace vaultpick {

void startRegistrar(const std::wstring& commandLine) {
  // Named in full, so no regsvr32 of the current folder is started instead; the command line
  // itself stays as it is.
  wchar_t systemDirectory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(systemDirectory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring registrar = std::wstring(systemDirectory, length) + L"\\regsvr32.exe";
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(registrar.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    // Never waited for: the program goes on while the library registers.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

bool RegFiles(const std::wstring& SaveServerTo, const std::wstring& Name,
              const StartRegistration& start) {
  if (FileExists(trimSpaces(SaveServerTo + L"\\" + Name))) return true;
  if (!Entladen(SaveServerTo, Name)) return false;
  start(L"regsvr32 /s \\windows\\system32\\" + Name);
  return true;
}

}  // namespace vaultpick
