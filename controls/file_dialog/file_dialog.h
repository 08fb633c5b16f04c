// The system's open and save dialogs as COMDLG32.OCX exports them. The program links them too,
// for when that library cannot be loaded.
#pragma once

#include <windows.h>

namespace vaultpick::controls {

// Both of the FileDialogFunction kind (controls/control_exports.h).
BOOL WINAPI showOpenFileDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity);
BOOL WINAPI showSaveFileDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity);

}  // namespace vaultpick::controls
