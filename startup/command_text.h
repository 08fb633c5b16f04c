// The program's own command line: what follows the program's name, and the package argument.
#pragma once

#include <string>

namespace vaultpick {

// The command line without the program's own name, split off as the C runtime does for
// WinMain: a name in double quotes runs to the closing quote, any other to the first blank;
// the blanks after it go too.
std::wstring argumentsOf(const std::wstring& commandLine);

// The text with leading and trailing spaces removed (spaces only, not tabs).
std::wstring trimSpaces(const std::wstring& text);

// A package path given in double quotes, as the shell passes it: the last character and the
// first are dropped, whatever they are.
std::wstring unquotePackageArgument(const std::wstring& argument);

}  // namespace vaultpick
