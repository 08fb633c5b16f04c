// Writing and deleting registry entries named in the scripting shell's notation.
#include <windows.h>

#include <optional>

#include "association/registry.h"
#include "association/registry_path.h"

namespace vaultpick {

namespace {

HKEY rootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers:
      return HKEY_USERS;
    case RegistryRoot::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
  }
  return nullptr;
}

// Owns an open registry key; closes it once.
class OpenKey {
 public:
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool RegWrite(const std::wstring& Path, const std::wstring& Value, const std::wstring& Typ) {
  const std::optional<RegistryPath> path = parseRegistryPath(Path);
  // A REG_SZ is one text ended by a NUL; the length in bytes must fit a DWORD.
  if (!path || Typ != L"REG_SZ" || Value.find(L'\0') != std::wstring::npos ||
      Value.size() >= MAXDWORD / sizeof(wchar_t))
    return false;
  OpenKey key;
  if (RegCreateKeyExW(rootKey(path->root), path->key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
    return false;
  const auto bytes = static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), path->valueName ? path->valueName->c_str() : nullptr, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(Value.c_str()), bytes) == ERROR_SUCCESS;
}

bool RegDelete(const std::wstring& Path) {
  const std::optional<RegistryPath> path = parseRegistryPath(Path);
  if (!path) return false;
  const HKEY root = rootKey(path->root);
  // A key goes with everything below it: deleting only the key itself fails once it has
  // subkeys, and a file class always has its shell\<verb>\command keys.
  if (!path->valueName) return RegDeleteTreeW(root, path->key.c_str()) == ERROR_SUCCESS;
  OpenKey key;
  if (RegOpenKeyExW(root, path->key.c_str(), 0, KEY_SET_VALUE, key.receive()) != ERROR_SUCCESS)
    return false;
  return RegDeleteValueW(key.get(), path->valueName->c_str()) == ERROR_SUCCESS;
}

}  // namespace vaultpick
