// RegFiles: installing a control library into the system folder.
#include <windows.h>

#include "startup/command_text.h"
#include "startup/reg_files.h"
#include "win32/files.h"
#include "win32/payload.h"
#include "win32/process_start.h"

namespace vaultpick {

void startRegistrar(const std::wstring& commandLine) {
  // Named in full, so no regsvr32 of the current folder is started instead; the command line
  // itself stays as it is.
  wchar_t systemDirectory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(systemDirectory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  const std::wstring registrar = std::wstring(systemDirectory, length) + L"\\regsvr32.exe";
  startDetached(registrar, commandLine, SW_SHOWMINIMIZED);
}

bool RegFiles(const std::wstring& SaveServerTo, const std::wstring& Name,
              const StartRegistration& start) {
  if (FileExists(trimSpaces(SaveServerTo + L"\\" + Name))) return true;
  if (!Entladen(SaveServerTo, Name)) return false;
  start(L"regsvr32 /s \\windows\\system32\\" + Name);
  return true;
}

}  // namespace vaultpick
