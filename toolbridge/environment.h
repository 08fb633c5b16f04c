// The few facts of its surroundings that the program reads.
#pragma once

#include <string>

namespace vaultpick {

// The value of the environment variable `name`, read afresh at each call; empty when it is not
// set.
std::wstring environmentVariable(const wchar_t* name);

// The value of TEMP.
std::wstring temporaryFolder();

// The system folder: the value of SystemRoot followed by "\system32", read afresh at each call.
std::wstring systemFolder();

// The full path of the running program's own executable; empty if the system cannot say.
std::wstring ownExecutablePath();

// Single-byte text in the system's ANSI code page (the tool's list file) as UTF-16.
std::wstring fromAnsiCodePage(const char* bytes, size_t size);
// And back: UTF-16 as single-byte text in that code page; characters it lacks become "?".
std::string toAnsiCodePage(const std::wstring& text);
// UTF-16 as UTF-8 (the tool's job file).
std::string toUtf8(const std::wstring& text);
// The tool's messages: UTF-8, but item names in them come as the package spells them, so text
// that is no UTF-8 is read in the system's code page.
std::wstring fromToolText(const std::string& bytes);

}  // namespace vaultpick
