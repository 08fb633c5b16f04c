// The program's platform-free logic: registry paths and the program copy's path, tool command
// lines and their quoting, the list file and the tool's output, the program's own command line,
// item names and where each item lands, the names of its private folders, the texts it shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/extract_report.h"
#include "actions/item_info.h"
#include "actions/item_names.h"
#include "actions/private_folder_name.h"
#include "actions/version_text.h"
#include "association/program_copy.h"
#include "association/registry_path.h"
#include "startup/command_text.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/list_file.h"
#include "toolbridge/tool_output.h"

namespace vaultpick {
namespace {

using namespace std::string_literals;
using Texts = std::vector<std::wstring>;

// Each row's input through `f` gives the row's output.
void expectEach(const std::function<std::wstring(const std::wstring&)>& f,
                const std::vector<std::pair<std::wstring, std::wstring>>& rows) {
  for (const auto& [in, out] : rows) EXPECT_EQ(f(in), out);
}

TEST(RegistryPath, NamesAKeyOrAValueBelowEitherFormOfTheRootInAnyCase) {
  struct Case {
    std::wstring path;
    RegistryRoot root;
    std::wstring key;
    std::optional<std::wstring> value;
  };
  const Case cases[] = {
      {L"HKEY_CLASSES_ROOT\\.gcf\\", RegistryRoot::kClassesRoot, L".gcf", std::nullopt},
      {L"HKCR\\gcffile\\shell\\Open with Vaultpick\\command\\", RegistryRoot::kClassesRoot,
       L"gcffile\\shell\\Open with Vaultpick\\command", std::nullopt},
      {L"HKCU\\Software\\Demo\\Colour", RegistryRoot::kCurrentUser, L"Software\\Demo", L"Colour"},
      {L"HKEY_CURRENT_USER\\Software\\", RegistryRoot::kCurrentUser, L"Software", std::nullopt},
      {L"HKLM\\Software\\A value.with dots", RegistryRoot::kLocalMachine, L"Software",
       L"A value.with dots"},
      {L"HKEY_USERS\\.DEFAULT\\", RegistryRoot::kUsers, L".DEFAULT", std::nullopt},
      {L"HKEY_CURRENT_CONFIG\\Software\\x", RegistryRoot::kCurrentConfig, L"Software", L"x"},
      {L"hkcr\\.ncf\\", RegistryRoot::kClassesRoot, L".ncf", std::nullopt},
      {L"Hkey_Classes_Root\\.ncf\\", RegistryRoot::kClassesRoot, L".ncf", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<RegistryPath> parsed = parseRegistryPath(c.path);
    ASSERT_TRUE(parsed) << std::string(c.path.begin(), c.path.end());
    EXPECT_EQ(std::tie(parsed->root, parsed->key, parsed->valueName),
              std::tie(c.root, c.key, c.value));
  }
  // A root itself, or a value straight below it (deleting "HKCR\" must never mean the whole
  // root); short forms other than the three; empty key names; a NUL, which would end the path
  // early at the system's API and name another key.
  for (const std::wstring& path :
       {L""s, L"HKCR"s, L"\\.gcf\\"s, L"HKCR\\"s, L"HKEY_CLASSES_ROOT\\"s, L"HKCU\\Name"s,
        L"HKU\\.DEFAULT\\"s, L"HKCC\\Software\\"s, L"HKEY_PERFORMANCE_DATA\\x\\"s,
        L"HKCRX\\.gcf\\"s, L" HKCR\\.gcf\\"s, L"HKCR\\\\.gcf\\"s, L"HKCR\\.gcf\\\\"s,
        L"HKCR\\a\\\\b\\"s, L"HKCR\\a\\\\value"s, L"HKCR\\.gcf\0\\evil\\"s,
        L"HKCU\\Software\\na\0me"s})
    EXPECT_FALSE(parseRegistryPath(path)) << std::string(path.begin(), path.end());
}

TEST(ProgramCopy, IsTheExecutablesNameInTheWindowsFolder) {
  const auto copy = [](const std::wstring& program) { return programCopyPath(L"C:\\W", program); };
  expectEach(copy, {{L"D:\\tools\\viewer.exe", L"C:\\W\\viewer.exe"},
                    {L"Z:\\a b\\my.vault.pick.EXE", L"C:\\W\\my.vault.pick.exe"},
                    {L"Z:/home/user/vaultpick", L"C:\\W\\vaultpick.exe"},
                    {L"D:\\v1.2\\vaultpick", L"C:\\W\\vaultpick.exe"},
                    {L"", L""},
                    {L"D:\\tools\\", L""},
                    {L"D:\\tools\\.exe", L""}});
  EXPECT_EQ(programCopyPath(L"", L"D:\\tools\\viewer.exe"), L"");
}

TEST(ToolCommandLines, QuoteEveryWordByTheWindowsSplittingRules) {
  expectEach(quoteArgument,
             {{L"", L"\"\""},
              {L"with spaces\\a b.gcf", L"\"with spaces\\a b.gcf\""},
              // A folder's final backslashes are doubled so that the closing quote still closes.
              {L"C:\\out\\", L"\"C:\\out\\\\\""},
              {L"C:\\out\\\\", L"\"C:\\out\\\\\\\\\""},
              // An inner quote is escaped, with the backslashes before it doubled.
              {L"a\"b", L"\"a\\\"b\""},
              {L"a\\\"b", L"\"a\\\\\\\"b\""},
              // An item name that tries to end its argument and add an option stays one word.
              {L"root\\x\" -d \"C:\\elsewhere", L"\"root\\x\\\" -d \\\"C:\\elsewhere\""}});
  EXPECT_EQ(
      extractCommand(L"C:\\TEMP", L"C:\\Games\\demo.gcf", L"C:\\TEMP", L"bin\\tools\\engine.dll"),
      L"\"C:\\TEMP\\hlextract.exe\" -p \"C:\\Games\\demo.gcf\" -d \"C:\\TEMP\" -e "
      L"\"root\\bin\\tools\\engine.dll\"");
  EXPECT_EQ(extractCommand(L"C:\\T", L"p.gcf", L"D:\\", L""),
            L"\"C:\\T\\hlextract.exe\" -p \"p.gcf\" -d \"D:\\\\\" -e \"root\\\\\"");
  EXPECT_EQ(defragmentCommand(L"C:\\TEMP", L"D:\\my games\\a.ncf"),
            L"\"C:\\TEMP\\hlextract.exe\" -p \"D:\\my games\\a.ncf\" -f ");
  EXPECT_EQ(listCommand(L"C:\\T", L"D:\\a b.gcf"),
            L"\"C:\\T\\hlextract.exe\" -p \"D:\\a b.gcf\" -lf \"C:\\T\\tmp.txt\"");
  EXPECT_EQ(jobsCommand(L"C:\\T", L"p.gcf", L"C:\\T\\j.txt"),
            L"\"C:\\T\\hlextract.exe\" -p \"p.gcf\" --jobs \"C:\\T\\j.txt\"");
}

TEST(ListFile, EntriesLoseTheRootPrefixAndAShortLineEndsTheList) {
  struct Case {
    std::wstring text;
    Texts entries;
    bool complete = true;
  };
  const Case cases[] = {
      {L"root\\z.txt\r\nroot\\maps\\a.bsp\r\nroot\\b, c d.txt\r\n",
       {L"z.txt", L"maps\\a.bsp", L"b, c d.txt"}},
      {L"", {}},
      {L"root\\a\nroot\\b", {L"a", L"b"}},      // LF alone, and a last line without an end
      {L"root\\\r\nroot\\x\r\n", {L"", L"x"}},  // just the prefix: an empty name
      {L"root\\a\r\nroo\r\nroot\\b\r\n", {L"a"}, false},
      {L"root\\a\r\n\r\nroot\\b\r\n", {L"a"}, false},
  };
  for (Case c : cases) {
    const ListEntries list = splitListText(c.text);
    EXPECT_EQ(Texts(list.entries.begin(), list.entries.end()), c.entries);
    EXPECT_EQ(list.complete, c.complete);
    size_t characters = 0;
    for (const std::wstring& entry : c.entries) characters += entry.size() + 1;
    EXPECT_EQ(list.characters, characters);
  }
  // The unended last line gets its terminator appended; no earlier entry may move with it.
  std::wstring text;
  for (int i = 0; i < 1000; ++i) text += L"root\\folder\\file" + std::to_wstring(i) + L"\r\n";
  text += L"root\\last";
  text.shrink_to_fit();
  ListEntries list = splitListText(text);
  ASSERT_EQ(list.entries.size(), 1001u);
  EXPECT_EQ(std::wstring(list.entries[0]), L"folder\\file0");
  EXPECT_EQ(std::wstring(list.entries[1000]), L"last");
}

TEST(ToolOutput, TheReasonAndWholeResultLinesCount) {
  EXPECT_EQ(firstReason("hlextract: package is truncated: x\r\nhlextract: second\n"),
            "package is truncated: x");
  EXPECT_EQ(firstReason("\r\n\nno prefix here"), "no prefix here");
  EXPECT_EQ(firstReason(""), "");
  std::vector<JobResult> results;
  JobResultReader reader([&](const JobResult& result) { results.push_back(result); });
  for (const char* piece : {"1\tok\r", "\n2\tfai", "led\tincomplete: 5 of 9 bytes\r\n",
                            "garbage\n0\tok\n3\tmaybe\n4\tfailed\n", "5\tok"})
    reader.feed(piece);
  ASSERT_EQ(results.size(), 3u);
  EXPECT_TRUE(results[0].number == 1 && results[0].ok);
  EXPECT_TRUE(results[1].number == 2 && !results[1].ok);
  EXPECT_EQ(results[1].reason, "incomplete: 5 of 9 bytes");
  EXPECT_TRUE(results[2].number == 4 && !results[2].ok && results[2].reason.empty());
}

TEST(ProgramCommandLine, ArgumentsFollowTheNameAndThePackageLosesItsQuotes) {
  expectEach(argumentsOf, {{L"vaultpick.exe", L""},
                           {L"C:\\vaultpick.exe \"D:\\a b.gcf\"", L"\"D:\\a b.gcf\""},
                           {L"\"C:\\Program Files\\v.exe\"   \"D:\\a.gcf\" ", L"\"D:\\a.gcf\" "},
                           {L"\"C:\\Program Files\\v.exe\"-regme", L"-regme"}});
  expectEach(trimSpaces,
             {{L"   ", L""}, {L"  \"D:\\a b.gcf\"  ", L"\"D:\\a b.gcf\""}, {L"\tx\t", L"\tx\t"}});
  // Only the first and last characters go, whatever they are.
  expectEach(unquotePackageArgument, {{L"\"D:\\a.gcf\"", L"D:\\a.gcf"},
                                      {L"\" D:\\a.gcf \"", L" D:\\a.gcf "},
                                      {L"D:\\a.gcf", L":\\a.gc"},
                                      {L"\"", L""}});
}

TEST(ItemNames, ExtensionsAndNamesAreCutAtTheLastMark) {
  // A dot in a folder only: the "extension" holds a backslash and is no package type.
  expectEach(packageExtension, {{L"C:\\games\\demo.gcf", L"gcf"},
                                {L"C:\\games\\demo", L"C:\\games\\demo"},
                                {L"C:\\v1.5\\demo", L"5\\demo"}});
  expectEach(packageName, {{L"C:\\Games\\demo.gcf", L"demo.gcf"}, {L"demo.gcf", L"demo.gcf"}});
  expectEach(itemFileName, {{L"a\\b\\c.txt", L"c.txt"}, {L"c.txt", L"c.txt"}, {L"", L""}});
  // Control characters show as \xNN in boxes; all else, code page letters included, stays.
  expectEach(shownName, {{L"a\x01\tb\x1f\x7f.txt", L"a\\x01\\x09b\\x1F\\x7F.txt"},
                         {L" ~\x80\u00fc\\x", L" ~\x80\u00fc\\x"}});
  EXPECT_TRUE(isNcfPackage(L"D:\\x.ncf") && isNcfPackage(L"ncf"));
  for (const wchar_t* other : {L"D:\\x.NCF", L"D:\\x.Ncf", L"D:\\x.gcf", L"C:\\v1.5\\demo"})
    EXPECT_FALSE(isNcfPackage(other)) << other;
  for (const wchar_t* package : {L"C:\\a\\demo.gcf", L"D:\\DEMO.GCF", L"\\\\s\\v1.2\\p.nCF"})
    EXPECT_TRUE(hasPackageExtension(package)) << package;
  for (const wchar_t* other : {L"C:\\a\\demo.gcfx", L"C:\\a\\gcf", L"C:\\a.gcf\\readme", L""})
    EXPECT_FALSE(hasPackageExtension(other)) << other;
}

TEST(PrivateFolderName, NamesTheRunForGoodAndReadsOnlyItsOwnForm) {
  const RunIdentity run{4242, 0x01DB2A3B4C5D6E7FULL}, extremes{UINT32_MAX, UINT64_MAX};
  EXPECT_EQ(privateFolderName(run, 7), L"vaultpick-4242-01DB2A3B4C5D6E7F-7");
  EXPECT_EQ(runOfPrivateFolder(privateFolderName(run, 7)), run);
  EXPECT_EQ(runOfPrivateFolder(privateFolderName(extremes, UINT32_MAX)), extremes);
  // Anything else in TEMP is no folder of ours: the earlier form without the time, other
  // cases, signs, missing or extra parts, numbers past their size.
  for (const wchar_t* other :
       {L"vaultpick-4242-7", L"vaultpick-4242-01DB2A3B4C5D6E7F",
        L"Vaultpick-4242-01DB2A3B4C5D6E7F-7", L"vaultpick-4242-01db2a3b4c5d6e7f-7",
        L"vaultpick--01DB2A3B4C5D6E7F-7", L"vaultpick-+42-01DB2A3B4C5D6E7F-7",
        L"vaultpick-4242-1DB2A3B4C5D6E7F-7", L"vaultpick-4242-01DB2A3B4C5D6E7F0-7",
        L"vaultpick-4242-01DB2A3B4C5D6E7F-7x", L"vaultpick-4242-01DB2A3B4C5D6E7F-",
        L"vaultpick-4294967296-01DB2A3B4C5D6E7F-7", L"vaultpick-4242-01DB2A3B4C5D6E7F-4294967296",
        L"vaultpick-", L"HLExtract.exe"})
    EXPECT_FALSE(runOfPrivateFolder(other)) << other;
}

TEST(ShownTexts, VersionsAndTheFailuresOfAnExtraction) {
  struct Row {
    uint32_t major, minor, build, revision;
    std::wstring text;
  };
  const Row rows[] = {
      {1, 0, 0, 0, L"1.00.0000"},         {5, 1, 2600, 0, L"5.01.2600.00"},
      {1, 2, 0, 1, L"1.02.00.01"},        {40000, 0, 0, 0, L"40000.00.0000"},
      {1, 0, 40000, 5, L"1.00.40000.05"}, {65535, 65535, 65535, 65535, L"65535.65535.65535.65535"}};
  for (const Row& row : rows)
    EXPECT_EQ(versionText(row.major << 16 | row.minor, row.build << 16 | row.revision), row.text);
  // The first entry of the translation table, language first.
  const uint8_t table[] = {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04};
  EXPECT_EQ(descriptionPath(translationCode(table, sizeof table)),
            L"\\StringFileInfo\\040704E4\\FileDescription");
  EXPECT_EQ(translationCode(table, 3), L"");
  EXPECT_EQ(translationCode(nullptr, 0), L"");

  // Reasons of their own follow each entry; one that all share is said once, above them.
  for (const bool shared : {false, true}) {
    std::vector<EntryFailure> failures;
    std::wstring expected = L"12 of 40 entries were not extracted:\n"s + (shared ? L"gone\n" : L"");
    for (int i = 1; i <= 12; ++i) {
      const std::wstring n = std::to_wstring(i), reason = shared ? L"gone" : L"reason " + n;
      failures.push_back({L"d\\f" + n + L"\x7f", reason});
      if (i <= 10) expected += L"\nroot\\d\\f" + n + L"\\x7F" + (shared ? L"" : L": " + reason);
    }
    EXPECT_EQ(notExtractedText(40, failures), expected + L"\nand 2 more.");
  }
  EXPECT_NE(infoText({L"C:\\p\x7f.gcf", L"\"", L"a\\b\x01", 0, L"", L""})
                .find(L"p\\x7F.gcf\r\nFile: \t\t\"root\\a\\b\\x01\""),
            std::wstring::npos);
}

}  // namespace
}  // namespace vaultpick
