// The tool's one text boundary: command-line words in the platform's encoding, item names in
// the package's single-byte code page, messages in UTF-8.
#pragma once

#include <string>

#include "arguments.h"

namespace hlextract {

std::string toUtf8(const NativeString& word);
// An item path from the command line as the package's single-byte names spell it. False when
// it holds a character the package's code page cannot spell: then it names no item.
bool toPackageBytes(const NativeString& word, std::string& bytes);
// Item names and paths from the package as the tool shows them: in UTF-8 where the system
// speaks UTF-8, as stored (in the system code page) on Windows.
std::string shownName(const std::string& packageBytes);

}  // namespace hlextract
