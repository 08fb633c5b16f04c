// The control libraries registered and unregistered by the system's regsvr32.
#include "controls/common/self_registration.h"

#include <gtest/gtest.h>

#include "program_support.h"
#include "startup/reg_files.h"
#include "toolbridge/command_lines.h"
#include "ui/handles.h"

namespace program_testing {
namespace {

using vaultpick::controls::kRegistrationKey;
using vaultpick::controls::kVendorKey;

std::wstring built(const wchar_t* name) { return (binFolder() / name).wstring(); }

// regsvr32's exit code for `switches` and the built library `name`.
DWORD regsvr32(const std::wstring& switches, const wchar_t* name) {
  std::wstring line = L"regsvr32.exe " + switches + L" " + vaultpick::quoteArgument(built(name));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started))
    return GetLastError();
  vaultpick::UniqueHandle process(started.hProcess), thread(started.hThread);
  DWORD exitCode = STILL_ACTIVE;
  if (WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

// An HKEY_LOCAL_MACHINE key's default value ("" when it has none); nothing without the key.
std::optional<std::wstring> keyValue(const std::wstring& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return std::nullopt;
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return value;
}

// The path a built library is registered with; nothing when it is not registered.
std::optional<std::wstring> registration(const wchar_t* name) {
  return keyValue(std::wstring(kRegistrationKey) + L"\\" + name);
}

TEST(SelfRegistration, Regsvr32RegistersEachLibraryAndUnregistersExactlyThat) {
  const bool vendorKeyBefore = keyValue(kVendorKey).has_value();
  struct UnregisterOnExit {  // so a failing test leaves nothing behind
    ~UnregisterOnExit() {
      for (const wchar_t* name : {L"COMCTL32.OCX", L"COMDLG32.OCX"}) regsvr32(L"/u /s", name);
    }
  } cleanup;

  // The program's own starter really runs regsvr32, and does not wait for it.
  vaultpick::startRegistrar(L"regsvr32 /s " + vaultpick::quoteArgument(built(L"COMCTL32.OCX")));
  // A program started earlier from drive C: may have registered the system folder's copy.
  for (int i = 0; i < 200 && registration(L"COMCTL32.OCX") != built(L"COMCTL32.OCX"); ++i)
    Sleep(50);
  EXPECT_EQ(registration(L"COMCTL32.OCX"), built(L"COMCTL32.OCX"));

  EXPECT_EQ(regsvr32(L"/s", L"COMCTL32.OCX"), 0u);
  EXPECT_EQ(regsvr32(L"/s", L"COMDLG32.OCX"), 0u);
  EXPECT_EQ(registration(L"COMDLG32.OCX"), built(L"COMDLG32.OCX"));
  EXPECT_EQ(regsvr32(L"/u /s", L"COMCTL32.OCX"), 0u);
  EXPECT_EQ(registration(L"COMCTL32.OCX"), std::nullopt);
  EXPECT_EQ(registration(L"COMDLG32.OCX"), built(L"COMDLG32.OCX"));
  EXPECT_EQ(regsvr32(L"/u /s", L"COMDLG32.OCX"), 0u);
  EXPECT_EQ(registration(L"COMDLG32.OCX"), std::nullopt);
  if (!vendorKeyBefore) {
    EXPECT_FALSE(keyValue(kVendorKey)) << "a key of ours is left";
  }
}

}  // namespace
}  // namespace program_testing
