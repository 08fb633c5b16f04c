// Where the association puts the program, and the command the shell runs to open a package.
#pragma once

#include <string>

namespace vaultpick {

// <windowsFolder>\<name>.exe, where <name> is the running executable's file name without its
// folder and extension. Empty when either is missing: an empty Windows folder would put the
// copy into the root of the current drive.
std::wstring programCopyPath(const std::wstring& windowsFolder, const std::wstring& executablePath);

// "<program copy>" "%1": the shell puts the package's path in place of %1.
std::wstring openCommand(const std::wstring& programCopy);

}  // namespace vaultpick
