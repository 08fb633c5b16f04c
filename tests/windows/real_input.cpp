// Real mouse and keyboard input.
#include "real_input.h"

#include <vector>

namespace program_testing {

RealInputLock::RealInputLock() : mutex_(CreateMutexW(nullptr, FALSE, L"VaultpickTestsRealInput")) {
  // An abandoned lock (a test that crashed) is ours all the same.
  if (mutex_) WaitForSingleObject(mutex_, INFINITE);
}

RealInputLock::~RealInputLock() {
  if (!mutex_) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

void sendInputs(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void keepOnTop(HWND window) {
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

INPUT mouse(DWORD flags, POINT at) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  }
  return input;
}

INPUT key(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

void press(WORD virtualKey) { sendInputs({key(virtualKey, false), key(virtualKey, true)}); }

void answerMenu(HWND menuWindow, const std::vector<WORD>& keys) {
  for (WORD virtualKey : keys) {
    PostMessageW(menuWindow, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(menuWindow, WM_KEYUP, virtualKey, 0xC0000001);
  }
}

POINT overEntry(HWND list, int index) {
  const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  POINT at{12, height * index + height / 2};
  ClientToScreen(list, &at);
  return at;
}

void click(POINT at, DWORD down, DWORD up) {
  sendInputs({mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at), mouse(down), mouse(up)});
}

void doubleClick(POINT at) {
  sendInputs({mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at), mouse(MOUSEEVENTF_LEFTDOWN),
              mouse(MOUSEEVENTF_LEFTUP), mouse(MOUSEEVENTF_LEFTDOWN), mouse(MOUSEEVENTF_LEFTUP)});
}

}  // namespace program_testing
