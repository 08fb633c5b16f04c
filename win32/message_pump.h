// Handing queued window messages to their windows, for the main loop and for waits.
#pragma once

#include <windows.h>

namespace vaultpick {

// Translates and dispatches one message, with keyboard navigation (Tab, Enter) between the
// controls of its top-level window.
void dispatchMessage(MSG& message);

// Handles every message waiting in the queue, then returns. False when the program is ending
// (a quit message was taken; it is posted again so every loop above sees it too).
bool handlePendingMessages();

// Waits until `object` is signalled (a process has ended...), handling every window message as
// it arrives meanwhile. False when the program began to end first (as above).
bool waitHandlingMessages(HANDLE object);

// The program's message loop; returns the quit message's exit code.
int runMessageLoop();

}  // namespace vaultpick
