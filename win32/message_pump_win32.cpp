// Handing queued window messages to their windows.
#include "win32/message_pump.h"

namespace vaultpick {

void dispatchMessage(MSG& message) {
  HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (top && IsDialogMessageW(top, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

bool handlePendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    dispatchMessage(message);
  }
  return true;
}

bool waitHandlingMessages(HANDLE object) {
  // Woken by the object or by any message; an object that cannot be waited on ends the wait.
  while (MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0 + 1) {
    if (!handlePendingMessages()) return false;
  }
  return true;
}

int runMessageLoop() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) dispatchMessage(message);
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 1;
}

}  // namespace vaultpick
