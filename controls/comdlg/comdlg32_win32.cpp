// COMDLG32.OCX: the open and save dialogs of the program's windows, and the library's
// registration.
#include <windows.h>

#include <type_traits>

#include "controls/common/self_registration.h"
#include "controls/control_exports.h"
#include "controls/file_dialog/file_dialog.h"

using vaultpick::controls::FileDialogFunction;

extern "C" {

__declspec(dllexport) BOOL WINAPI
    VaultpickShowOpenDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity) {
  return vaultpick::controls::showOpenFileDialog(owner, filter, path, capacity);
}

__declspec(dllexport) BOOL WINAPI
    VaultpickShowSaveDialog(HWND owner, const wchar_t* filter, wchar_t* path, DWORD capacity) {
  return vaultpick::controls::showSaveFileDialog(owner, filter, path, capacity);
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  return vaultpick::controls::registerControlLibrary(vaultpick::controls::kComdlgLibrary);
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  return vaultpick::controls::unregisterControlLibrary(vaultpick::controls::kComdlgLibrary);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&VaultpickShowOpenDialog), FileDialogFunction> &&
                  std::is_same_v<decltype(&VaultpickShowSaveDialog), FileDialogFunction>,
              "the exports must match what the program calls");
