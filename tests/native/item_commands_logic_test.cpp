// The item commands' platform-free logic: names taken from paths, where whole-package
// extraction puts each item, the tool's command lines and the version text. (The Info text is
// checked whole by the program tests.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "actions/extract_report.h"
#include "actions/item_names.h"
#include "actions/private_folder_name.h"
#include "actions/version_text.h"
#include "toolbridge/command_lines.h"

namespace vaultpick {
namespace {

TEST(ItemNames, ExtensionsAndNamesAreCutAtTheLastMark) {
  EXPECT_EQ(packageExtension(L"C:\\games\\demo.gcf"), L"gcf");
  EXPECT_EQ(packageExtension(L"C:\\games\\demo"), L"C:\\games\\demo");
  // A dot in a folder only: the "extension" holds a backslash and is no package type.
  EXPECT_EQ(packageExtension(L"C:\\v1.5\\demo"), L"5\\demo");
  EXPECT_FALSE(isNcfPackage(L"C:\\v1.5\\demo"));

  EXPECT_TRUE(isNcfPackage(L"D:\\x.ncf"));
  for (const wchar_t* other : {L"D:\\x.NCF", L"D:\\x.Ncf", L"D:\\x.gcf", L"ncf"})
    EXPECT_EQ(isNcfPackage(other), std::wstring(other) == L"ncf") << other;

  EXPECT_EQ(packageName(L"C:\\Games\\demo.gcf"), L"demo.gcf");
  EXPECT_EQ(packageName(L"demo.gcf"), L"demo.gcf");
  EXPECT_EQ(itemFileName(L"a\\b\\c.txt"), L"c.txt");
  EXPECT_EQ(itemFileName(L"c.txt"), L"c.txt");
  EXPECT_EQ(itemFileName(L""), L"");
}

TEST(ItemNames, PackagesAreDroppedByTheirExtensionInAnyCase) {
  for (const wchar_t* package :
       {L"C:\\a\\demo.gcf", L"D:\\DEMO.GCF", L"x.Ncf", L"\\\\s\\v1.2\\p.nCF"})
    EXPECT_TRUE(hasPackageExtension(package)) << package;
  for (const wchar_t* other : {L"C:\\a\\notes.txt", L"C:\\a\\demo.gcfx", L"C:\\a\\gcf",
                               L"C:\\a.gcf\\readme", L"C:\\a\\demo_gcf", L""})
    EXPECT_FALSE(hasPackageExtension(other)) << other;
}

TEST(PrivateFolderName, NamesTheRunForGoodAndReadsOnlyItsOwnForm) {
  const RunIdentity run{4242, 0x01DB2A3B4C5D6E7FULL};
  const std::wstring name = privateFolderName(run, 7);
  EXPECT_EQ(name, L"vaultpick-4242-01DB2A3B4C5D6E7F-7");
  EXPECT_EQ(runOfPrivateFolder(name), run);
  const RunIdentity extremes{UINT32_MAX, UINT64_MAX};
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

TEST(ItemDestination, RebuildsTheFoldersBelowTheChosenOne) {
  struct Case {
    std::wstring destination, item, folderPart, folder;
  };
  const std::vector<Case> cases = {
      {L"D:\\out", L"config.cfg", L"", L"D:\\out"},
      {L"D:\\out", L"maps\\de\\x.bsp", L"maps\\de\\", L"D:\\out\\maps\\de"},
      // A drive root keeps its one backslash.
      {L"D:\\", L"config.cfg", L"", L"D:\\"},
      {L"D:\\", L"maps\\x.bsp", L"maps\\", L"D:\\maps"},
  };
  for (const Case& c : cases) {
    std::optional<ItemDestination> destination = itemDestination(c.destination, c.item);
    ASSERT_TRUE(destination) << c.item;
    EXPECT_EQ(destination->folderPart, c.folderPart) << c.item;
    EXPECT_EQ(destination->folder, c.folder) << c.item;
  }
}

TEST(ItemDestination, RefusesFoldersThatCouldLeadOutside) {
  for (const wchar_t* item :
       {L"..\\evil.dll", L"a\\..\\..\\evil.dll", L".\\x", L"\\x", L"a\\\\x", L"C:\\x", L"a\\C:\\x",
        L"con\\x", L"a\\nul.txt\\x", L"a /\\x", L"tab\t\\x", L"dot.\\x", L"wild*\\x"})
    EXPECT_FALSE(itemDestination(L"D:\\out", item)) << item;
  // Only folders are judged here; the file name itself is the tool's to refuse.
  EXPECT_TRUE(itemDestination(L"D:\\out", L"a\\..."));
  EXPECT_TRUE(itemDestination(L"D:\\out", L"\u00fcber\\\u65e5\u672c.txt"));
}

TEST(ItemCommandLines, QuoteEveryWordByTheWindowsRules) {
  EXPECT_EQ(
      extractCommand(L"C:\\TEMP", L"C:\\Games\\demo.gcf", L"C:\\TEMP", L"bin\\tools\\engine.dll"),
      L"\"C:\\TEMP\\hlextract.exe\" -p \"C:\\Games\\demo.gcf\" -d \"C:\\TEMP\" -e "
      L"\"root\\bin\\tools\\engine.dll\"");
  // A drive root as destination: its backslash is doubled before the closing quote, so the
  // tool still sees D:\ and the next word stays a word of its own.
  EXPECT_EQ(extractCommand(L"C:\\T", L"p.gcf", L"D:\\", L""),
            L"\"C:\\T\\hlextract.exe\" -p \"p.gcf\" -d \"D:\\\\\" -e \"root\\\\\"");
  EXPECT_EQ(defragmentCommand(L"C:\\TEMP", L"D:\\my games\\a.ncf"),
            L"\"C:\\TEMP\\hlextract.exe\" -p \"D:\\my games\\a.ncf\" -f ");
}

TEST(VersionText, FollowsTheProgramsDottedForm) {
  struct Row {
    uint32_t major, minor, build, revision;
    std::wstring text;
  };
  const std::vector<Row> rows = {
      {1, 0, 0, 0, L"1.00.0000"},
      {5, 1, 2600, 0, L"5.01.2600.00"},
      {6, 0, 6000, 16386, L"6.00.6000.16386"},
      {1, 2, 0, 1, L"1.02.00.01"},
      {40000, 0, 0, 0, L"40000.00.0000"},
      {1, 0, 40000, 5, L"1.00.40000.05"},
      {65535, 65535, 65535, 65535, L"65535.65535.65535.65535"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(versionText(row.major << 16 | row.minor, row.build << 16 | row.revision), row.text)
        << row.major << "." << row.minor << "." << row.build << "." << row.revision;
  EXPECT_EQ(HiWord(0xFFFF0001U), 65535U);
  EXPECT_EQ(LoWord(0xFFFF0001U), 1U);
}

TEST(VersionText, TranslationCodeTakesTheFirstEntryLanguageFirst) {
  const uint8_t english[] = {0x09, 0x04, 0xB0, 0x04};
  EXPECT_EQ(translationCode(english, sizeof english), L"040904B0");
  const uint8_t twoEntries[] = {0x07, 0x04, 0xE4, 0x04, 0x09, 0x04, 0xB0, 0x04};
  EXPECT_EQ(translationCode(twoEntries, sizeof twoEntries), L"040704E4");
  EXPECT_EQ(descriptionPath(translationCode(twoEntries, sizeof twoEntries)),
            L"\\StringFileInfo\\040704E4\\FileDescription");
  EXPECT_EQ(translationCode(english, 3), L"");
  EXPECT_EQ(translationCode(nullptr, 0), L"");
}

TEST(NotExtractedText, CountsAllAndNamesTheFirstTen) {
  std::vector<EntryFailure> failures;
  for (int i = 1; i <= 12; ++i)
    failures.push_back({L"d\\f" + std::to_wstring(i), L"reason " + std::to_wstring(i)});
  std::wstring expected = L"12 of 40 entries were not extracted:\n";
  for (int i = 1; i <= 10; ++i)
    expected += L"\nroot\\d\\f" + std::to_wstring(i) + L": reason " + std::to_wstring(i);
  EXPECT_EQ(notExtractedText(40, failures), expected + L"\nand 2 more.");
  failures.resize(1);
  EXPECT_EQ(notExtractedText(1, failures),
            L"1 of 1 entries were not extracted:\n\nroot\\d\\f1: reason 1");
}

}  // namespace
}  // namespace vaultpick
