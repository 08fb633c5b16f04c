// Registry paths in the scripting shell's notation: "HKCU\Software\Demo\" names a key,
// "HKCU\Software\Demo\Colour" the value "Colour" of that key.
#pragma once

#include <optional>
#include <string>

namespace vaultpick {

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

struct RegistryPath {
  RegistryRoot root;
  // The key below the root: never empty, its names separated by single backslashes.
  std::wstring key;
  // The value's name; nothing when the path names the key itself (and so its default value).
  std::optional<std::wstring> valueName;
};

// The root (long name such as "HKEY_CLASSES_ROOT", or "HKCR", "HKCU", "HKLM", in any case), a
// backslash, the key path, then either a closing backslash (the key) or a value name. Nothing
// for anything else: an unknown root, no key below the root (a root itself is never written or
// deleted), an empty name between backslashes, or a NUL, which would cut the path short at the
// system's API.
std::optional<RegistryPath> parseRegistryPath(const std::wstring& path);

}  // namespace vaultpick
