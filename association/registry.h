// Writing and deleting registry entries named in the scripting shell's notation
// (association/registry_path.h). Neither shows anything; both only say whether it went through.
#pragma once

#include <string>

namespace vaultpick {

// Sets the value that `Path` names to the text `Value`. A path ending in a backslash sets the
// key's default value; missing keys on the way are created. `Typ` "REG_SZ" is the one type
// written; any other, or a value holding a NUL, is refused.
bool RegWrite(const std::wstring& Path, const std::wstring& Value,
              const std::wstring& Typ = L"REG_SZ");

// Removes the value that `Path` names, or, for a path ending in a backslash, the key with every
// key and value below it. False when there was nothing to remove.
bool RegDelete(const std::wstring& Path);

}  // namespace vaultpick
