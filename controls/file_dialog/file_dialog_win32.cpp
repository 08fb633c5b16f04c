// The system's open and save dialogs.
#include "controls/file_dialog/file_dialog.h"

// commdlg.h needs the types of windows.h.
#include <commdlg.h>

#include <cwchar>
#include <string>

namespace vaultpick::controls {

namespace {

BOOL runFileDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity,
                   bool save) noexcept {
  if (!filter || !path || capacity == 0 || !std::wmemchr(path, L'\0', capacity)) return FALSE;
  try {
    // The dialog takes its pairs separated by NULs and ended by two.
    std::wstring pairs = filter;
    for (wchar_t& c : pairs)
      if (c == L'|') c = L'\0';
    pairs.append(2, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = pairs.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = capacity;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
    if (!save) dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    return save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  } catch (...) {
    return FALSE;
  }
}

}  // namespace

BOOL WINAPI showOpenFileDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity) {
  return runFileDialog(owner, filter, path, capacity, false);
}

BOOL WINAPI showSaveFileDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity) {
  return runFileDialog(owner, filter, path, capacity, true);
}

}  // namespace vaultpick::controls
