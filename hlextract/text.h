// The tool's one text boundary: command-line words in the platform's encoding, item names in
// the package's single-byte code page, messages in UTF-8.
#pragma once

#include <string>

#include "arguments.h"

namespace hlextract {

std::string toUtf8(const NativeString& word);
// An item path from the command line as the package's single-byte names spell it.
std::string toPackageBytes(const NativeString& word);

}  // namespace hlextract
