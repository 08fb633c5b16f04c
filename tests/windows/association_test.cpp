// The file association: RegWrite and RegDelete, -regme and -delmyregs in the process and as the
// program's own start-up switches, and a package opened through the shell afterwards.
#include <gtest/gtest.h>
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "association/file_association.h"
#include "association/registry.h"
#include "program_process.h"
#include "program_support.h"
#include "toolbridge/environment.h"
#include "ui/form1.h"
#include "ui/handles.h"

namespace program_testing {
namespace {

using namespace std::string_literals;
using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;
using vaultpick::DelMyRegsStandard;
using vaultpick::environmentVariable;
using vaultpick::RegDelete;
using vaultpick::RegMeAsStandard;
using vaultpick::RegWrite;
using vaultpick::UniqueHandle;

constexpr wchar_t kCommandKey[] = L"gcffile\\shell\\Open with Vaultpick\\command";
constexpr wchar_t kTestKey[] = L"Software\\Vaultpick tests";

// The association and the program copies are shared by every process of a test run. Tests that
// touch them take turns (CTest runs test processes side by side), and each starts and ends
// with nothing registered and no copy, failing or not.
class CleanAssociation {
 public:
  CleanAssociation()
      : turn_(CreateMutexW(nullptr, FALSE, L"Vaultpick association tests")),
        windows_(environmentVariable(L"windir")) {
    // An abandoned turn (a test process that crashed) is a turn all the same.
    if (turn_) WaitForSingleObject(turn_.get(), 60000);
    clean();
  }
  ~CleanAssociation() {
    clean();
    if (turn_) ReleaseMutex(turn_.get());
  }
  CleanAssociation(const CleanAssociation&) = delete;
  CleanAssociation& operator=(const CleanAssociation&) = delete;

  // Where -regme puts a program of the build folder.
  fs::path copyOf(const wchar_t* program) const { return windows_ / program; }

  void clean() const {
    for (const wchar_t* key : {L".gcf", L".ncf", L"gcffile"})
      RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    std::error_code ignored;
    for (const wchar_t* program : {L"vaultpick.exe", L"vaultpick_tests.exe"}) {
      fs::remove(copyOf(program), ignored);
      fs::remove(copyOf(program) += L".new", ignored);
    }
  }

 private:
  UniqueHandle turn_;
  fs::path windows_;
};

bool keyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// The value `name` (nullptr: the default value) of root\key when it is a REG_SZ.
std::optional<std::wstring> textValue(HKEY root, const std::wstring& key,
                                      const wchar_t* name = nullptr) {
  wchar_t value[1024];
  DWORD bytes = sizeof value;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

// How many subkeys and values root\key holds.
std::pair<DWORD, DWORD> contentCount(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  DWORD subkeys = 0, values = 0;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {0, 0};
  RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  return {subkeys, values};
}

bool isRegistered() {
  return keyExists(HKEY_CLASSES_ROOT, L".gcf") || keyExists(HKEY_CLASSES_ROOT, L".ncf") ||
         keyExists(HKEY_CLASSES_ROOT, L"gcffile");
}

// Exactly the three values of the association, the command starting `copy`.
void expectRegisteredFor(const fs::path& copy) {
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".gcf"), L"gcffile"s);
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".ncf"), L"gcffile"s);
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, kCommandKey), L"\"" + copy.wstring() + L"\" \"%1\"");
  using Count = std::pair<DWORD, DWORD>;
  EXPECT_EQ(contentCount(HKEY_CLASSES_ROOT, L".gcf"), Count(0, 1));
  EXPECT_EQ(contentCount(HKEY_CLASSES_ROOT, L".ncf"), Count(0, 1));
  EXPECT_EQ(contentCount(HKEY_CLASSES_ROOT, L"gcffile"), Count(1, 0));
  EXPECT_EQ(contentCount(HKEY_CLASSES_ROOT, L"gcffile\\shell"), Count(1, 0));
  EXPECT_EQ(contentCount(HKEY_CLASSES_ROOT, L"gcffile\\shell\\Open with Vaultpick"), Count(1, 0));
  EXPECT_EQ(contentCount(HKEY_CLASSES_ROOT, kCommandKey), Count(0, 1));
}

using Message = ScriptedDialogs::MessageShown;
const Message kRegistered{L"File association successfull!", L"Vaultpick", MB_ICONINFORMATION};
const Message kRemoved{L"File association removed successfully!", L"Vaultpick", MB_ICONINFORMATION};
const Message kCannotWrite{L"Error. Cant write in Registry!", L"Vaultpick", MB_ICONERROR};
const Message kCannotCopy{L"Error. Cant copy the program into the Windows folder!", L"Vaultpick",
                          MB_ICONERROR};

void expectMessages(const ScriptedDialogs& dialogs, const std::vector<Message>& expected) {
  ASSERT_EQ(dialogs.messages.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(dialogs.messages[i].text, expected[i].text) << i;
    EXPECT_EQ(dialogs.messages[i].title, expected[i].title) << i;
    EXPECT_EQ(dialogs.messages[i].style, expected[i].style) << i;
  }
}

std::optional<BY_HANDLE_FILE_INFORMATION> identityOf(const fs::path& file) {
  UniqueHandle opened(CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION identity{};
  if (!opened || !GetFileInformationByHandle(opened.get(), &identity)) return std::nullopt;
  return identity;
}

TEST(Registry, WritesAndDeletesNamedValuesBesideTheKeys) {
  CleanAssociation clean;
  const std::wstring root = L"HKCU\\"s + kTestKey, key = std::wstring(kTestKey) + L"\\a b";
  EXPECT_TRUE(RegWrite(root + L"\\a b\\Colour", L"blue"));
  EXPECT_TRUE(RegWrite(L"HKEY_CURRENT_USER\\"s + key + L"\\Colour", L"green", L"REG_SZ"));
  EXPECT_TRUE(RegWrite(root + L"\\a b\\Size", L""));
  EXPECT_EQ(textValue(HKEY_CURRENT_USER, key, L"Colour"), L"green"s);
  EXPECT_EQ(textValue(HKEY_CURRENT_USER, key, L"Size"), L""s);
  EXPECT_FALSE(textValue(HKEY_CURRENT_USER, key));

  // Refused without creating anything: another type, a text holding a NUL.
  EXPECT_FALSE(RegWrite(root + L"\\typed\\", L"1", L"REG_DWORD"));
  EXPECT_FALSE(RegWrite(root + L"\\nul\\", L"a\0b"s));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\typed"));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\nul"));

  // A value goes alone; one that is not there cannot be deleted.
  EXPECT_TRUE(RegDelete(root + L"\\a b\\Colour"));
  EXPECT_FALSE(textValue(HKEY_CURRENT_USER, key, L"Colour"));
  EXPECT_EQ(textValue(HKEY_CURRENT_USER, key, L"Size"), L""s);
  EXPECT_FALSE(RegDelete(root + L"\\a b\\Colour"));
  EXPECT_FALSE(RegDelete(root + L"\\missing\\Colour"));
}

TEST(RegMe, CopiesTheProgramWritesTheThreeValuesAndSaysSo) {
  CleanAssociation clean;
  const fs::path copy = clean.copyOf(L"vaultpick_tests.exe");
  // An outdated copy from before is replaced, and registering again does it all again.
  writeFile(copy, {'o', 'l', 'd'});
  ScriptedDialogs dialogs;
  for (int time = 0; time < 2; ++time) {
    RegMeAsStandard(dialogs);
    expectRegisteredFor(copy);
    EXPECT_TRUE(readFile(copy) == readFile(binFolder() / L"vaultpick_tests.exe"));
    EXPECT_FALSE(fs::exists(fs::path(copy) += L".new"));
  }
  expectMessages(dialogs, {kRegistered, kRegistered});
}

TEST(RegMe, StartedAsTheCopyItselfKeepsItAndRegisters) {
  CleanAssociation clean;
  // The Windows folder is this program's own, spelt differently: the copy's path names the
  // running executable.
  const fs::path self = binFolder() / L"vaultpick_tests.exe";
  const std::wstring windows = binFolder().wstring() + L"\\.";
  const std::optional<BY_HANDLE_FILE_INFORMATION> before = identityOf(self);
  ScriptedDialogs dialogs;
  {
    ScopedEnvironmentVariable windir(L"windir", windows);
    RegMeAsStandard(dialogs);
  }
  expectMessages(dialogs, {kRegistered});
  expectRegisteredFor(windows + L"\\vaultpick_tests.exe");
  // The very same file, not a copy put in its place.
  const std::optional<BY_HANDLE_FILE_INFORMATION> after = identityOf(self);
  ASSERT_TRUE(before && after);
  EXPECT_EQ(before->nFileIndexLow, after->nFileIndexLow);
  EXPECT_EQ(before->nFileIndexHigh, after->nFileIndexHigh);
  EXPECT_FALSE(fs::exists(fs::path(self) += L".new"));
}

TEST(RegMe, WithoutTheCopyRegistersNothing) {
  CleanAssociation clean;
  ScratchFolder scratch;
  // A folder where the copy would go: the copy is made beside it and then cannot replace it.
  const fs::path blocked = scratch / "blocked";
  fs::create_directories(blocked / L"vaultpick_tests.exe");
  struct Case {
    const char* name;
    std::wstring windir;
  };
  const Case cases[] = {
      {"no Windows folder", L""},
      {"a missing Windows folder", (scratch / "missing").wstring()},
      {"a folder in the copy's place", blocked.wstring()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedDialogs dialogs;
    {
      ScopedEnvironmentVariable windir(L"windir", c.windir);
      RegMeAsStandard(dialogs);
    }
    expectMessages(dialogs, {kCannotCopy});
    EXPECT_FALSE(isRegistered());
  }
  EXPECT_TRUE(fs::is_directory(blocked / L"vaultpick_tests.exe"));
  EXPECT_FALSE(fs::exists(blocked / L"vaultpick_tests.exe.new"));
}

TEST(RegMe, StopsAtTheFirstFailedWriteAndKeepsTheEarlierOnes) {
  CleanAssociation clean;
  // A volatile key can hold no lasting subkey, so the command cannot be written below it.
  HKEY volatileClass = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"gcffile", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_WRITE, nullptr, &volatileClass, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(volatileClass);
  ScriptedDialogs dialogs;
  RegMeAsStandard(dialogs);
  expectMessages(dialogs, {kCannotWrite});
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".gcf"), L"gcffile"s);
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".ncf"), L"gcffile"s);
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"gcffile\\shell"));
}

TEST(DelMyRegs, RemovesEveryKeyOrStopsAtTheFirstThatIsNotThere) {
  CleanAssociation clean;
  ScriptedDialogs dialogs;
  DelMyRegsStandard(dialogs);  // nothing registered

  // Without .gcf, the keys after it are not even tried.
  ASSERT_TRUE(RegWrite(L"HKCR\\.ncf\\", L"gcffile"));
  DelMyRegsStandard(dialogs);
  EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L".ncf"));

  // The class goes with its shell, verb and command keys; the program copy stays.
  RegMeAsStandard(dialogs);
  DelMyRegsStandard(dialogs);
  expectMessages(dialogs, {kCannotWrite, kCannotWrite, kRegistered, kRemoved});
  EXPECT_FALSE(isRegistered());
  EXPECT_TRUE(fs::exists(clean.copyOf(L"vaultpick_tests.exe")));
}

TEST(Switches, OnlyTheExactWordsRegisterOrRemove) {
  CleanAssociation clean;
  PrivateTemp temp;
  struct Case {
    std::wstring commandText;
    bool registeredBefore;
    bool registeredAfter;
    std::vector<Message> messages;
  };
  const Case cases[] = {
      {L"  -regme  ", false, true, {kRegistered}},
      {L"-delmyregs", true, false, {kRemoved}},
      // Anything else is a quoted package path, which names no file here.
      {L"-REGME", false, false, {}},
      {L"-regme x", false, false, {}},
      {L"\"-regme\"", false, false, {}},
      {L"-DelMyRegs", true, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.commandText.begin(), c.commandText.end()));
    clean.clean();
    if (c.registeredBefore) {
      ScriptedDialogs setUp;
      RegMeAsStandard(setUp);
    }
    ScriptedDialogs dialogs;
    vaultpick::Form1 form(dialogs);
    EXPECT_TRUE(form.Load(GetModuleHandleW(nullptr), c.commandText));
    expectMessages(dialogs, c.messages);
    EXPECT_EQ(isRegistered(), c.registeredAfter);
    // And the window comes up as for an empty command line.
    EXPECT_EQ(form.Text2(), L"");
    EXPECT_TRUE(listBoxEntries(form.List1()).empty());
  }
}

// -regme and -delmyregs as a person gives them: the program on its own, its box read from the
// screen, then its empty main window.
void expectBoxThenEmptyWindow(const ChildProcess& program, const Message& expected) {
  HWND box = waitForMessageBox(program.id());
  ASSERT_NE(box, nullptr) << "no message box";
  // The main window is not shown before the box is answered.
  EXPECT_EQ(findWindow(program.id(), L"VaultpickForm1"), nullptr);
  const MessageBoxSeen seen = readMessageBox(box);
  EXPECT_EQ(seen.text, expected.text);
  EXPECT_EQ(seen.title, expected.title);
  EXPECT_EQ(seen.icon, expected.style);
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  PostMessageW(box, WM_COMMAND, IDOK, 0);

  HWND form = waitForForm1(program.id());
  ASSERT_NE(form, nullptr) << "Form1 never showed";
  EXPECT_EQ(windowText(GetDlgItem(form, vaultpick::Form1::kIdText2)), L"");
  EXPECT_TRUE(listBoxEntries(GetDlgItem(form, vaultpick::Form1::kIdList1)).empty());
  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.exitCode(10000), 0u);
}

TEST(AssociationEndToEnd, RegisteredFromAnotherFolderPackagesOpenInTheCopy) {
  CleanAssociation clean;
  PrivateTemp temp;
  ScratchFolder scratch;
  // A folder other than the program's own, and not on C:, where the scratch folders are: from a
  // folder on C: the program's start-up would also register the control libraries in the
  // prefix (regsvr32 names the current drive), which the control libraries' tests do not expect.
  const fs::path elsewhere = binFolder().parent_path();
  const fs::path copy = clean.copyOf(L"vaultpick.exe");
  {
    ChildProcess program = startProgram(L"-regme", elsewhere);
    ASSERT_TRUE(program);
    expectBoxThenEmptyWindow(program, kRegistered);
  }
  expectRegisteredFor(copy);
  EXPECT_TRUE(readFile(copy) == readFile(binFolder() / L"vaultpick.exe"));

  TestPackage package = makeTestPackage(scratch / "double click.gcf");
  const fs::path ncf = scratch / "double click.ncf";
  fs::copy_file(package.path, ncf);
  for (const fs::path& file : {package.path, ncf}) {
    SCOPED_TRACE(file.filename().string());
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof request;
    // The registered verb by name: Wine 8 takes the class's first key ("shell") for its first
    // verb, so a double-click's default verb finds no command there.
    request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    request.lpVerb = L"Open with Vaultpick";
    request.lpFile = file.c_str();
    request.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&request)) << GetLastError();
    ChildProcess opened(request.hProcess);
    ASSERT_TRUE(opened);
    EXPECT_EQ(lstrcmpiW(opened.image().c_str(), copy.c_str()), 0) << opened.image();
    HWND form = waitForForm1(opened.id());
    ASSERT_NE(form, nullptr) << "Form1 never showed";
    EXPECT_EQ(windowText(GetDlgItem(form, vaultpick::Form1::kIdText2)), file.wstring());
    EXPECT_EQ(listBoxEntries(GetDlgItem(form, vaultpick::Form1::kIdList1)), package.entries);
    PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(opened.exitCode(10000), 0u);
  }
}

TEST(AssociationEndToEnd, RemovingWhatIsNotThereShowsTheErrorBox) {
  CleanAssociation clean;
  PrivateTemp temp;
  ChildProcess program = startProgram(L"-delmyregs");
  ASSERT_TRUE(program);
  expectBoxThenEmptyWindow(program, kCannotWrite);
}

}  // namespace
}  // namespace program_testing
