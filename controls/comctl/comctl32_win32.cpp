// COMCTL32.OCX: the progress bar of the program's windows, a window class of its own made from
// the system's progress bar, and the library's registration.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <type_traits>

#include "controls/common/self_registration.h"
#include "controls/control_exports.h"

namespace {

constexpr wchar_t kProgressBarClass[] = L"VaultpickProgressBar";

// The system progress bar's own procedure, which does all the work of ours.
WNDPROC systemProgressBar = nullptr;

LRESULT CALLBACK progressBarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(systemProgressBar, window, message, wParam, lParam);
}

}  // namespace

extern "C" {

__declspec(dllexport) const wchar_t* WINAPI VaultpickProgressBarClass() {
  HMODULE self = vaultpick::controls::thisLibrary();
  WNDCLASSEXW progressBar{};
  progressBar.cbSize = sizeof progressBar;
  if (GetClassInfoExW(self, kProgressBarClass, &progressBar)) return kProgressBarClass;
  INITCOMMONCONTROLSEX wanted{sizeof wanted, ICC_PROGRESS_CLASS};
  if (!InitCommonControlsEx(&wanted) || !GetClassInfoExW(nullptr, PROGRESS_CLASSW, &progressBar))
    return nullptr;
  systemProgressBar = progressBar.lpfnWndProc;
  progressBar.lpfnWndProc = progressBarProcedure;
  progressBar.hInstance = self;
  progressBar.lpszClassName = kProgressBarClass;
  // Global, so that the program, another module, can make windows of it.
  progressBar.style |= CS_GLOBALCLASS;
  return RegisterClassExW(&progressBar) ? kProgressBarClass : nullptr;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  return vaultpick::controls::registerControlLibrary(vaultpick::controls::kComctlLibrary);
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  return vaultpick::controls::unregisterControlLibrary(vaultpick::controls::kComctlLibrary);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&VaultpickProgressBarClass),
                             vaultpick::controls::ProgressBarClassFunction>,
              "the export must match what the program calls");
