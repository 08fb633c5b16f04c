// Real mouse and keyboard input, as a person's would arrive (SendInput, through the X server
// under Wine), aimed at list entries.
#pragma once

#include <windows.h>

#include <vector>

namespace program_testing {

// Tests that send real input hold this for their whole run, so tests run side by side on one
// display never move each other's mouse.
class RealInputLock {
 public:
  RealInputLock();
  ~RealInputLock();
  RealInputLock(const RealInputLock&) = delete;
  RealInputLock& operator=(const RealInputLock&) = delete;

 private:
  HANDLE mutex_;
};

void sendInputs(std::vector<INPUT> inputs);
// Puts a window (of any process) above all others: tests side by side show the program's
// window at the same place, and the pointer's input goes to the one on top.
void keepOnTop(HWND window);
// A mouse event; with MOUSEEVENTF_ABSOLUTE, `at` is a screen point.
INPUT mouse(DWORD flags, POINT at = {});
INPUT key(WORD virtualKey, bool up);
// Presses and releases the key.
void press(WORD virtualKey);

// Keys for an open pop-up menu (its window, of any process): posted to it rather than sent as
// real input, so they reach the menu whichever window has the keyboard meanwhile.
void answerMenu(HWND menuWindow, const std::vector<WORD>& keys);

// The screen point over the list's entry at `index` (the list may be another process's).
POINT overEntry(HWND list, int index);
// Moves there and sends the button's down and up events.
void click(POINT at, DWORD down, DWORD up);
void doubleClick(POINT at);

}  // namespace program_testing
