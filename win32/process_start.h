// Starting child processes: the tool's hidden runs with their output piped, and programs that
// are left to run on their own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "win32/handles.h"

namespace vaultpick {

// Calls `start` (0 when it started, else the system's error) until it starts, fails for a reason
// that waiting does not cure, or has been tried a few times; between tries it waits a moment
// longer each time, handling window messages meanwhile. Gives up at once when the program
// begins to end. The last error, or 0.
DWORD startWithRetries(const std::function<DWORD()>& start);

// Starts `commandLine` hidden and without a console, its standard output and error going to
// `output` and `error`, which are the only handles it inherits; a start that fails for a
// passing reason is tried again (startWithRetries). 0 with the child's process handle in
// `process`, or the system's error.
DWORD startHidden(const std::wstring& commandLine, HANDLE output, HANDLE error,
                  UniqueHandle& process);

// Starts the program `application` with `commandLine` (its first word included), its window
// shown as `show`, inheriting nothing, and leaves it to run on its own. False when it could not
// be started.
bool startDetached(const std::wstring& application, const std::wstring& commandLine, WORD show);

}  // namespace vaultpick
