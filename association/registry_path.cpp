// Registry paths in the scripting shell's notation.
#include "association/registry_path.h"

#include <array>
#include <utility>

namespace vaultpick {

namespace {

bool equalIgnoringAsciiCase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != L'\0'; ++i) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

std::optional<RegistryRoot> rootNamed(const std::wstring& name) {
  static const std::array<std::pair<const wchar_t*, RegistryRoot>, 8> kRoots = {{
      {L"HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
      {L"HKCR", RegistryRoot::kClassesRoot},
      {L"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
      {L"HKCU", RegistryRoot::kCurrentUser},
      {L"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
      {L"HKLM", RegistryRoot::kLocalMachine},
      {L"HKEY_USERS", RegistryRoot::kUsers},
      {L"HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
  }};
  for (const auto& [rootName, root] : kRoots)
    if (equalIgnoringAsciiCase(name, rootName)) return root;
  return std::nullopt;
}

bool isKeyPath(const std::wstring& key) {
  return !key.empty() && key.front() != L'\\' && key.back() != L'\\' &&
         key.find(L"\\\\") == std::wstring::npos;
}

}  // namespace

std::optional<RegistryPath> parseRegistryPath(const std::wstring& path) {
  if (path.find(L'\0') != std::wstring::npos) return std::nullopt;
  const size_t rootEnd = path.find(L'\\');
  if (rootEnd == std::wstring::npos) return std::nullopt;
  std::optional<RegistryRoot> root = rootNamed(path.substr(0, rootEnd));
  if (!root) return std::nullopt;

  const size_t lastSeparator = path.rfind(L'\\');
  if (lastSeparator == rootEnd) return std::nullopt;  // a value of the root, or the root itself
  RegistryPath parsed{*root, path.substr(rootEnd + 1, lastSeparator - rootEnd - 1), std::nullopt};
  if (lastSeparator + 1 < path.size()) parsed.valueName = path.substr(lastSeparator + 1);
  if (!isKeyPath(parsed.key)) return std::nullopt;
  return parsed;
}

}  // namespace vaultpick
