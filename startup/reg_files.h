// RegFiles: a control library written into the system folder and registered, when it is missing
// there.
#pragma once

#include <functional>
#include <string>

namespace vaultpick {

// Starts a registration command line without waiting for it.
using StartRegistration = std::function<void(const std::wstring& commandLine)>;

// The program's StartRegistration: the system's own regsvr32 with `commandLine`, minimised with
// the focus.
void startRegistrar(const std::wstring& commandLine);

// When SaveServerTo\Name, trimmed of spaces, is no file: writes the resource `Name` to
// SaveServerTo\Name (not trimmed) and starts "regsvr32 /s \windows\system32\Name", which names
// the current drive whatever the folder. A file already there is left alone, whatever it holds.
// False when the library could not be written; nothing is started then.
bool RegFiles(const std::wstring& SaveServerTo, const std::wstring& Name,
              const StartRegistration& start);

}  // namespace vaultpick
