// The tool's one text boundary: command-line words in the platform's encoding, item names in
// UTF-8 as the library gives them or in the package's own single-byte code page, messages in
// UTF-8.
#pragma once

#include <string>

#include "arguments.h"

namespace hlextract {

std::string toUtf8(const NativeString& word);
// An item path from the command line in UTF-8, as the library looks items up. False when it
// holds a character the system's code page cannot spell (Windows): then it names no item.
bool toItemPath(const NativeString& word, std::string& path);
// Text as a terminal may be given it: each control character (a byte below 0x20, and 0x7F) as
// \xNN, so that no name or message can move the cursor, retitle the window or break its line.
std::string printable(const std::string& text);
// Item names and paths from the library as the tool shows them: in UTF-8 where the system
// speaks UTF-8, as the package stores them (in the system code page) on Windows; printable.
std::string shownName(const std::string& name);
// A name as the package stores it, and back: the console works with the package's own bytes.
std::string storedName(const std::string& name);
std::string utf8Name(const std::string& stored);

}  // namespace hlextract
