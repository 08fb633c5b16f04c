// The system's file dialogs.
#include <windows.h>
// commdlg.h needs the types of windows.h.
#include <commdlg.h>

#include <vector>

#include "ui/dialogs.h"

namespace vaultpick {

std::optional<std::wstring> Win32Dialogs::ShowOpen(HWND owner, const std::wstring& filter) {
  // The dialog takes its pairs separated by NULs and ended by two.
  std::wstring pairs = filter;
  for (wchar_t& c : pairs)
    if (c == L'|') c = L'\0';
  pairs.append(2, L'\0');
  // Room for the longest path the wide API takes.
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = pairs.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return std::wstring(file.data());
}

}  // namespace vaultpick
