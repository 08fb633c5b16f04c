// Reading a file's version resource through the system's version library. Both return the
// empty text for a file that is missing, unreadable, a folder or without the value.
#pragma once

#include <string>

namespace vaultpick {

// The file version in the program's dotted form (see versionText).
std::wstring GetFileVersionString(const std::wstring& path);
// The FileDescription string of the first translation; no other translation is tried.
std::wstring GetFileDescription(const std::wstring& path);

}  // namespace vaultpick
