// Recording what handlers do to windows.
#include "window_events.h"

#include <commctrl.h>

namespace program_testing {

WindowEvents::~WindowEvents() {
  for (const Watched& each : watched_)
    if (IsWindow(each.window)) RemoveWindowSubclass(each.window, &WindowEvents::procedure, 0);
}

void WindowEvents::watch(HWND window, const std::wstring& name) {
  watched_.push_back({window, name});
  SetWindowSubclass(window, &WindowEvents::procedure, 0, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK WindowEvents::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR self) {
  auto* events = reinterpret_cast<WindowEvents*>(self);
  std::wstring name;
  for (const Watched& each : events->watched_)
    if (each.window == window) name = each.name;
  switch (message) {
    case WM_SETTEXT:
      events->lines.push_back(L"caption " + std::wstring(reinterpret_cast<const wchar_t*>(lParam)));
      break;
    case WM_ENABLE:
      events->lines.push_back(name + (wParam ? L" on" : L" off"));
      break;
    case PBM_SETRANGE32:
      events->lines.push_back(L"Max " + std::to_wstring(static_cast<int>(lParam)));
      break;
    case PBM_SETPOS:
      events->lines.push_back(L"Value " + std::to_wstring(static_cast<int>(wParam)));
      break;
    default:
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace program_testing
