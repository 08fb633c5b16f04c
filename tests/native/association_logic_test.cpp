// The file association's platform-free logic: registry paths in the scripting shell's notation
// and the program copy's path. (The open command is checked in the registry by the program tests.)
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "association/program_copy.h"
#include "association/registry_path.h"

namespace vaultpick {
namespace {

using namespace std::string_literals;

TEST(RegistryPath, NamesAKeyOrAValueBelowEitherFormOfTheRoot) {
  struct Case {
    std::wstring path;
    RegistryRoot root;
    std::wstring key;
    std::optional<std::wstring> valueName;
  };
  const std::vector<Case> cases = {
      {L"HKEY_CLASSES_ROOT\\.gcf\\", RegistryRoot::kClassesRoot, L".gcf", std::nullopt},
      {L"HKCR\\gcffile\\shell\\Open with Vaultpick\\command\\", RegistryRoot::kClassesRoot,
       L"gcffile\\shell\\Open with Vaultpick\\command", std::nullopt},
      {L"HKCU\\Software\\Demo\\Colour", RegistryRoot::kCurrentUser, L"Software\\Demo", L"Colour"},
      {L"HKEY_CURRENT_USER\\Software\\", RegistryRoot::kCurrentUser, L"Software", std::nullopt},
      {L"HKLM\\Software\\A value with spaces.and dots", RegistryRoot::kLocalMachine, L"Software",
       L"A value with spaces.and dots"},
      {L"HKEY_LOCAL_MACHINE\\Software\\", RegistryRoot::kLocalMachine, L"Software", std::nullopt},
      {L"HKEY_USERS\\.DEFAULT\\", RegistryRoot::kUsers, L".DEFAULT", std::nullopt},
      {L"HKEY_CURRENT_CONFIG\\Software\\x", RegistryRoot::kCurrentConfig, L"Software", L"x"},
      // The registry matches names without regard to case, roots included.
      {L"hkcr\\.ncf\\", RegistryRoot::kClassesRoot, L".ncf", std::nullopt},
      {L"Hkey_Classes_Root\\.ncf\\", RegistryRoot::kClassesRoot, L".ncf", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    const std::optional<RegistryPath> parsed = parseRegistryPath(c.path);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->root, c.root);
    EXPECT_EQ(parsed->key, c.key);
    EXPECT_EQ(parsed->valueName, c.valueName);
  }
}

TEST(RegistryPath, RefusesRootsThemselvesAndMalformedPaths) {
  // A root itself, or a value straight below it (deleting "HKCR\" must never mean the whole
  // root); short forms other than the three; empty key names between backslashes; a NUL, which
  // would end the path early at the system's API and name another key.
  // clang-format off
  const std::vector<std::wstring> refused = {
      L"", L"HKCR", L"\\.gcf\\", L"HKCR\\", L"HKEY_CLASSES_ROOT\\", L"HKCU\\Name", L"HKU\\.DEFAULT\\",
      L"HKCC\\Software\\", L"HKEY_PERFORMANCE_DATA\\x\\", L"HKCRX\\.gcf\\", L" HKCR\\.gcf\\",
      L"HKCR\\\\.gcf\\", L"HKCR\\.gcf\\\\", L"HKCR\\a\\\\b\\", L"HKCR\\a\\\\value",
      L"HKCR\\.gcf\0\\evil\\"s, L"HKCU\\Software\\na\0me"s};
  // clang-format on
  for (const std::wstring& path : refused) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    EXPECT_FALSE(parseRegistryPath(path));
  }
}

TEST(ProgramCopy, IsTheExecutablesNameInTheWindowsFolder) {
  EXPECT_EQ(programCopyPath(L"C:\\WINDOWS", L"D:\\tools\\viewer.exe"), L"C:\\WINDOWS\\viewer.exe");
  // Whatever its extension was, and only the last one goes.
  EXPECT_EQ(programCopyPath(L"C:\\windows", L"Z:\\a b\\my.vault.pick.EXE"),
            L"C:\\windows\\my.vault.pick.exe");
  EXPECT_EQ(programCopyPath(L"C:\\windows", L"Z:\\bin\\vaultpick"), L"C:\\windows\\vaultpick.exe");
  EXPECT_EQ(programCopyPath(L"C:\\windows", L"Z:/home/user/vaultpick.exe"),
            L"C:\\windows\\vaultpick.exe");
  // A dot in a folder name is no extension.
  EXPECT_EQ(programCopyPath(L"C:\\windows", L"D:\\v1.2\\vaultpick"), L"C:\\windows\\vaultpick.exe");
  // Nothing without a Windows folder or a name.
  EXPECT_EQ(programCopyPath(L"", L"D:\\tools\\viewer.exe"), L"");
  EXPECT_EQ(programCopyPath(L"C:\\windows", L""), L"");
  EXPECT_EQ(programCopyPath(L"C:\\windows", L"D:\\tools\\"), L"");
  EXPECT_EQ(programCopyPath(L"C:\\windows", L"D:\\tools\\.exe"), L"");
}

}  // namespace
}  // namespace vaultpick
