// What both control libraries share: their own module, and what regsvr32 makes them record.
#pragma once

#include <windows.h>

namespace vaultpick::controls {

// A registered library is the key HKEY_LOCAL_MACHINE\<kRegistrationKey>\<its file name>, whose
// default value is the library's full path.
inline constexpr wchar_t kVendorKey[] = L"Software\\Vaultpick";
inline constexpr wchar_t kRegistrationKey[] = L"Software\\Vaultpick\\ControlLibraries";

// The library this code is linked into.
HMODULE thisLibrary();

// DllRegisterServer and DllUnregisterServer of the library `name`. Unregistering removes its key,
// then the keys above it that are left empty; a library not registered unregisters fine.
HRESULT registerControlLibrary(const wchar_t* name) noexcept;
HRESULT unregisterControlLibrary(const wchar_t* name) noexcept;

}  // namespace vaultpick::controls
