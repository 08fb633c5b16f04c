// The file association: RegWrite and RegDelete, -regme and -delmyregs in the process and as the
// program's own start-up switches.
#include "association/file_association.h"
#include "association/registry.h"
#include "program_support.h"
#include "toolbridge/environment.h"

namespace {
using namespace program_testing;

using namespace std::string_literals;
using vaultpick::RegDelete;
using vaultpick::RegMeAsStandard;
using vaultpick::RegWrite;

constexpr wchar_t kCommandKey[] = L"gcffile\\shell\\Open with Vaultpick\\command";
constexpr wchar_t kTestKey[] = L"Software\\Vaultpick tests";

// The association and the program copies are shared by a test run's parallel processes: tests
// that touch them take turns, each starting and ending with nothing registered and no copy.
class CleanAssociation {
 public:
  CleanAssociation() : turn_(CreateMutexW(nullptr, FALSE, L"Vaultpick association tests")) {
    // An abandoned turn (a test process that crashed) is a turn all the same.
    const DWORD waited = turn_ ? WaitForSingleObject(turn_.get(), 60000) : WAIT_FAILED;
    EXPECT_TRUE(waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) << "no turn: " << waited;
    clean();
  }
  ~CleanAssociation() {
    clean();
    if (turn_) ReleaseMutex(turn_.get());
  }
  // Where -regme puts a program of the build folder.
  static fs::path copyOf(const wchar_t* program) {
    return fs::path(vaultpick::environmentVariable(L"windir")) / program;
  }
  void clean() const {
    for (const wchar_t* key : {L".gcf", L".ncf", L"gcffile"})
      RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    std::error_code ignored;
    for (const wchar_t* program : {L"vaultpick.exe", L"vaultpick_tests.exe"})
      fs::remove(copyOf(program), ignored), fs::remove(copyOf(program) += L".new", ignored);
  }

 private:
  vaultpick::UniqueHandle turn_;
};

// The value `name` (nullptr: the default value) of root\key when it is a REG_SZ.
std::optional<std::wstring> textValue(HKEY root, const std::wstring& key,
                                      const wchar_t* name = nullptr) {
  wchar_t value[1024];
  DWORD bytes = sizeof value;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

bool keyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool isRegistered() {
  return keyExists(HKEY_CLASSES_ROOT, L".gcf") || keyExists(HKEY_CLASSES_ROOT, L".ncf") ||
         keyExists(HKEY_CLASSES_ROOT, L"gcffile");
}

void expectRegisteredFor(const fs::path& copy) {
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".gcf"), L"gcffile"s);
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".ncf"), L"gcffile"s);
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, kCommandKey), L"\"" + copy.wstring() + L"\" \"%1\"");
}

const wchar_t kRegistered[] = L"File association successfull!";
const wchar_t kRemoved[] = L"File association removed successfully!";
const wchar_t kCannotWrite[] = L"Error. Cant write in Registry!";
const wchar_t kCannotCopy[] = L"Error. Cant copy the program into the Windows folder!";

// The boxes shown, each "Vaultpick" with the information icon for the two successes.
void expectMessages(const ScriptedDialogs& dialogs, const std::vector<std::wstring>& expected) {
  ASSERT_EQ(dialogs.messages.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const bool success = expected[i] == kRegistered || expected[i] == kRemoved;
    EXPECT_EQ(dialogs.messages[i].text + dialogs.messages[i].title, expected[i] + L"Vaultpick");
    EXPECT_EQ(dialogs.messages[i].style, UINT(success ? MB_ICONINFORMATION : MB_ICONERROR));
  }
}

TEST(RegMe, CopiesTheProgramThroughASiblingAndRegistersOnlyWithTheCopy) {
  CleanAssociation clean;
  ScratchFolder scratch;
  const fs::path copy = clean.copyOf(L"vaultpick_tests.exe");
  writeFile(copy, {'o', 'l', 'd'});  // an outdated copy, to be replaced
  ScriptedDialogs dialogs;
  RegMeAsStandard(dialogs);
  expectRegisteredFor(copy);
  EXPECT_TRUE(readFile(copy) == readFile(binFolder() / L"vaultpick_tests.exe"));
  EXPECT_FALSE(fs::exists(fs::path(copy) += L".new"));
  expectMessages(dialogs, {kRegistered});

  // A folder in the copy's place: the copy is made beside it and then cannot replace it.
  const fs::path blocked = scratch / "blocked";
  fs::create_directories(blocked / L"vaultpick_tests.exe");
  // Started as the copy itself (the program's own folder, spelt differently): kept as it is.
  const std::wstring self = binFolder().wstring() + L"\\.";
  const auto before = fs::last_write_time(binFolder() / L"vaultpick_tests.exe");
  const std::pair<std::wstring, const wchar_t*> cases[] = {
      {L"", kCannotCopy},
      {(scratch / "missing").wstring(), kCannotCopy},
      {blocked.wstring(), kCannotCopy},
      {self, kRegistered}};
  for (const auto& [windir, message] : cases) {
    SCOPED_TRACE(fs::path(windir).u8string());
    clean.clean();
    ScriptedDialogs each;
    {
      ScopedEnvironmentVariable variable(L"windir", windir);
      RegMeAsStandard(each);
    }
    expectMessages(each, {message});
    EXPECT_EQ(isRegistered(), windir == self);
  }
  expectRegisteredFor(self + L"\\vaultpick_tests.exe");
  EXPECT_EQ(fs::last_write_time(binFolder() / L"vaultpick_tests.exe"), before);
  EXPECT_FALSE(fs::exists(binFolder() / L"vaultpick_tests.exe.new"));
  EXPECT_TRUE(fs::is_directory(blocked / L"vaultpick_tests.exe"));
  EXPECT_FALSE(fs::exists(blocked / L"vaultpick_tests.exe.new"));
}

TEST(RegMe, StopsAtTheFirstFailedWriteDelMyRegsAtTheFirstMissingKeyAndBothAreSwitches) {
  CleanAssociation clean;
  // RegWrite and RegDelete take named values and refuse other types or a NUL.
  const std::wstring key = L"HKEY_CURRENT_USER\\"s + kTestKey + L"\\a b\\";
  EXPECT_TRUE(RegWrite(key + L"Colour", L"green") && RegWrite(key + L"Size", L""));
  EXPECT_FALSE(RegWrite(key + L"Typed", L"1", L"REG_DWORD") || RegWrite(key + L"Nul", L"a\0b"s));
  EXPECT_TRUE(RegDelete(key + L"Colour"));
  EXPECT_FALSE(RegDelete(key + L"Colour"));
  EXPECT_EQ(textValue(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\a b", L"Size"), L""s);
  EXPECT_FALSE(textValue(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\a b", L"Typed"));
  clean.clean();
  // A volatile key can hold no lasting subkey, so the command cannot be written below it.
  HKEY volatileClass = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"gcffile", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_WRITE, nullptr, &volatileClass, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(volatileClass);
  ScriptedDialogs dialogs;
  RegMeAsStandard(dialogs);
  EXPECT_EQ(textValue(HKEY_CLASSES_ROOT, L".ncf"), L"gcffile"s);
  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, L"gcffile\\shell"));

  // Without .gcf, the keys after it are not even tried.
  clean.clean();
  ASSERT_TRUE(RegWrite(L"HKCR\\.ncf\\", L"gcffile"));
  vaultpick::DelMyRegsStandard(dialogs);
  EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, L".ncf"));
  // The start-up switches, exact but for spaces around: the class goes with its shell, verb and
  // command keys; the program copy stays; the window opens empty.
  PrivateTemp temp;
  const std::pair<const wchar_t*, bool> switches[] = {
      {L"  -regme  ", true}, {L"-delmyregs", false}, {L"-REGME", false}};
  for (const auto& [commandText, registered] : switches) {
    vaultpick::Form1 form(dialogs, vaultpick::form1Handlers());
    EXPECT_TRUE(form.Load(GetModuleHandleW(nullptr), commandText));
    EXPECT_TRUE(listBoxEntries(form.List1()).empty() && form.Text2().empty());
    EXPECT_EQ(isRegistered(), registered);
  }
  expectMessages(dialogs, {kCannotWrite, kCannotWrite, kRegistered, kRemoved});
  EXPECT_FALSE(isRegistered());
  EXPECT_TRUE(fs::exists(clean.copyOf(L"vaultpick_tests.exe")));
}

}  // namespace
