// What the control libraries COMCTL32.OCX and COMDLG32.OCX export beside DllRegisterServer and
// DllUnregisterServer. Plain C calls in the Windows convention: nothing of C++ (no exception, no
// standard-library type) crosses between a library and the program.
#pragma once

#include <windows.h>

namespace vaultpick::controls {

// The libraries' file names, which are also the names of the resources that carry them.
inline constexpr wchar_t kComctlLibrary[] = L"COMCTL32.OCX";
inline constexpr wchar_t kComdlgLibrary[] = L"COMDLG32.OCX";

// COMCTL32.OCX: registers the progress bar's window class for the whole process (the first call;
// later ones only answer) and returns its name, or null when it could not be registered.
inline constexpr char kProgressBarClassExport[] = "VaultpickProgressBarClass";
using ProgressBarClassFunction = const wchar_t*(WINAPI*)();

// COMDLG32.OCX: the modal open and save dialogs. `filter` holds description and pattern pairs
// separated by "|". `path` holds the file name the dialog opens on, ended by a NUL within
// `capacity` characters, and receives the chosen file's full path. TRUE when a file was chosen,
// FALSE on Cancel or failure. The save dialog asks nothing when an existing file is chosen and
// adds no extension.
inline constexpr char kShowOpenExport[] = "VaultpickShowOpenDialog";
inline constexpr char kShowSaveExport[] = "VaultpickShowSaveDialog";
using FileDialogFunction = BOOL(WINAPI*)(HWND owner, const wchar_t* filter, wchar_t* path,
                                         DWORD capacity);

}  // namespace vaultpick::controls
