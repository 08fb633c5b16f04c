// The control libraries' own module and their entries in the registry.
#include <string>

#include "controls/common/self_registration.h"

namespace vaultpick::controls {

namespace {

std::wstring libraryKey(const wchar_t* name) {
  return std::wstring(kRegistrationKey) + L"\\" + name;
}

std::wstring modulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Deletes the key when it holds neither values nor keys.
void deleteIfEmpty(const wchar_t* subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  DWORD keys = 1, values = 1;
  const LONG status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                                       &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS && keys == 0 && values == 0)
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, subKey);
}

}  // namespace

HMODULE thisLibrary() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&thisLibrary), &module);
  return module;
}

HRESULT registerControlLibrary(const wchar_t* name) noexcept {
  try {
    const std::wstring path = modulePath(thisLibrary());
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, libraryKey(name).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT unregisterControlLibrary(const wchar_t* name) noexcept {
  try {
    const LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, libraryKey(name).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
      return HRESULT_FROM_WIN32(status);
    deleteIfEmpty(kRegistrationKey);
    deleteIfEmpty(kVendorKey);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace vaultpick::controls
