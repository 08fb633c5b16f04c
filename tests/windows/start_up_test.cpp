// Form1's start-up: the tool files written at every start, and the command line.
#include <gtest/gtest.h>

#include "program_support.h"
#include "ui/form1.h"

namespace program_testing {
namespace {

using testing_support::readFile;
using testing_support::ScratchFolder;
using testing_support::writeFile;

struct Started {
  ScriptedDialogs dialogs;
  vaultpick::Form1 form{dialogs};
  explicit Started(const std::wstring& commandText) {
    EXPECT_TRUE(form.Load(GetModuleHandleW(nullptr), commandText));
  }
};

TEST(ToolFiles, AreWrittenAtEveryStartAndEqualTheBuiltOnes) {
  PrivateTemp temp;
  // A longer file of the same name, and a short one, are both replaced whole.
  writeFile(temp.path() / L"HLExtract.exe", std::vector<uint8_t>(4 << 20, 'x'));
  writeFile(temp.path() / L"HLLib.dll", {'M', 'Z'});
  const auto tool = readFile(binFolder() / L"HLExtract.exe");
  const auto library = readFile(binFolder() / L"HLLib.dll");
  for (int start = 0; start < 2; ++start) {
    Started program(L"");
    EXPECT_TRUE(readFile(temp.path() / L"HLExtract.exe") == tool) << "start " << start;
    EXPECT_TRUE(readFile(temp.path() / L"HLLib.dll") == library) << "start " << start;
    writeFile(temp.path() / L"HLExtract.exe", {'o', 'l', 'd'});
  }
  // Nothing else is left in the temporary folder.
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(temp.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2u);
}

TEST(ToolFiles, ALockedToolFileIsKeptAndUsed) {
  PrivateTemp temp;
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch.path() / L"locked.gcf");
  Started first(L"");
  // As while another instance's tool runs: the file cannot be replaced.
  HANDLE busy = CreateFileW((temp.path() / L"HLExtract.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  Started second(L"\"" + package.path.wstring() + L"\"");
  CloseHandle(busy);
  EXPECT_EQ(listBoxEntries(second.form.List1()), package.entries);
}

// What the command line does to Text2 and List1.
struct CommandLineCase {
  const char* name;
  std::wstring commandText;
  std::wstring text2;
  bool listed;
};

TEST(CommandLine, OpensAQuotedPackagePathAndIgnoresEverythingElse) {
  PrivateTemp temp;
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch.path() / L"demo.gcf");
  const std::wstring path = package.path.wstring();
  const fs::path notPackage = scratch.path() / L"notes.gcf";
  writeFile(notPackage, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'a', 'c', 'k', 'a', 'g', 'e'});

  const std::vector<CommandLineCase> cases = {
      {"none", L"", L"", false},
      {"spaces only", L"    ", L"", false},
      {"quoted path", L"\"" + path + L"\"", path, true},
      {"quoted path, spaces around", L"  \"" + path + L"\"  ", path, true},
      {"unquoted path loses its first and last character", path, L"", false},
      {"missing file", L"\"" + (scratch.path() / L"missing.gcf").wstring() + L"\"", L"", false},
      {"a folder is no file", L"\"" + scratch.path().wstring() + L"\"", L"", false},
      {"not a package", L"\"" + notPackage.wstring() + L"\"", notPackage.wstring(), false},
  };
  for (const CommandLineCase& c : cases) {
    SCOPED_TRACE(c.name);
    Started program(c.commandText);
    EXPECT_EQ(program.form.Text2(), c.text2);
    EXPECT_EQ(listBoxEntries(program.form.List1()),
              c.listed ? package.entries : std::vector<std::wstring>{});
    EXPECT_FALSE(fs::exists(temp.listFile()));
    EXPECT_TRUE(program.dialogs.filters.empty());
  }
}

TEST(CommandLine, SpacesInsideTheQuotesAreCheckedTrimmedButKeptInText2) {
  PrivateTemp temp;
  ScratchFolder scratch;
  TestPackage package = makeTestPackage(scratch.path() / L"demo.gcf");
  Started program(L"\"  " + package.path.wstring() + L" \"");
  EXPECT_EQ(program.form.Text2(), L"  " + package.path.wstring() + L" ");
}

TEST(CommandLine, UnicodePathsWorkEndToEnd) {
  PrivateTemp temp;  // itself below a folder named with non-ASCII letters and a space
  ScratchFolder scratch;
  fs::path folder = scratch.path() / L"\u00dcbung \u0434\u0435\u043c\u043e";
  fs::create_directories(folder);
  TestPackage package = makeTestPackage(folder / L"p\u00e4ck \u0444.gcf");
  Started program(L"\"" + package.path.wstring() + L"\"");
  EXPECT_EQ(program.form.Text2(), package.path.wstring());
  EXPECT_EQ(listBoxEntries(program.form.List1()), package.entries);
}

}  // namespace
}  // namespace program_testing
