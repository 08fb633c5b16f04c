// The program's platform-free logic: tool command lines and their quoting, the list file, the
// program's own command-line text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "startup/command_text.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/list_file.h"
#include "toolbridge/tool_output.h"

namespace vaultpick {
namespace {

TEST(QuoteArgument, FollowsTheWindowsSplittingRules) {
  struct Case {
    std::wstring word, quoted;
  };
  const std::vector<Case> cases = {
      {L"", L"\"\""},
      {L"C:\\games\\demo.gcf", L"\"C:\\games\\demo.gcf\""},
      {L"with spaces\\a b.gcf", L"\"with spaces\\a b.gcf\""},
      // A folder ending in a backslash keeps it, and the closing quote still closes.
      {L"C:\\out\\", L"\"C:\\out\\\\\""},
      {L"C:\\out\\\\", L"\"C:\\out\\\\\\\\\""},
      // An inner quote is escaped, with the backslashes before it doubled.
      {L"a\"b", L"\"a\\\"b\""},
      {L"a\\\"b", L"\"a\\\\\\\"b\""},
      // An item name that tries to end its argument and add an option stays one argument.
      {L"root\\x\" -d \"C:\\elsewhere", L"\"root\\x\\\" -d \\\"C:\\elsewhere\""},
  };
  for (const Case& c : cases) EXPECT_EQ(quoteArgument(c.word), c.quoted);
}

TEST(ListCommand, NamesTheToolThePackageAndTheListFileQuoted) {
  EXPECT_EQ(listCommand(L"C:\\TEMP", L"D:\\games\\demo.gcf"),
            L"\"C:\\TEMP\\hlextract.exe\" -p \"D:\\games\\demo.gcf\" -lf \"C:\\TEMP\\tmp.txt\"");
  EXPECT_EQ(listCommand(L"C:\\Documents and Settings\\Temp", L"D:\\my games\\a.ncf"),
            L"\"C:\\Documents and Settings\\Temp\\hlextract.exe\" -p \"D:\\my games\\a.ncf\" -lf "
            L"\"C:\\Documents and Settings\\Temp\\tmp.txt\"");
}

std::vector<std::wstring> entriesOf(std::wstring text, bool* complete = nullptr) {
  ListEntries list = splitListText(text);
  std::vector<std::wstring> entries(list.entries.begin(), list.entries.end());
  size_t characters = 0;
  for (const std::wstring& entry : entries) characters += entry.size() + 1;
  EXPECT_EQ(list.characters, characters);
  if (complete) *complete = list.complete;
  return entries;
}

TEST(SplitListText, DropsTheRootPrefixKeepsTheOrderAndStopsAtAShortLine) {
  using Entries = std::vector<std::wstring>;
  EXPECT_EQ(entriesOf(L"root\\z.txt\r\nroot\\maps\\a.bsp\r\nroot\\b, c d.txt\r\n"),
            (Entries{L"z.txt", L"maps\\a.bsp", L"b, c d.txt"}));
  EXPECT_EQ(entriesOf(L""), Entries{});
  // The last line counts without a line end, and a line ended by LF alone is a line too.
  EXPECT_EQ(entriesOf(L"root\\a\nroot\\b"), (Entries{L"a", L"b"}));
  // A line of just the prefix is an entry with an empty name, not the end of the list.
  EXPECT_EQ(entriesOf(L"root\\\r\nroot\\x\r\n"), (Entries{L"", L"x"}));
  // A line too short for the prefix ends the list.
  bool complete = true;
  EXPECT_EQ(entriesOf(L"root\\a\r\nroo\r\nroot\\b\r\n", &complete),
            std::vector<std::wstring>{L"a"});
  EXPECT_FALSE(complete);
  EXPECT_EQ(entriesOf(L"root\\a\r\n\r\nroot\\b\r\n", &complete), std::vector<std::wstring>{L"a"});
  EXPECT_FALSE(complete);
  entriesOf(L"root\\a\r\n", &complete);
  EXPECT_TRUE(complete);
}

TEST(SplitListText, EntriesStayValidForAListWithoutAFinalLineEnd) {
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

TEST(ProgramCommandLine, ArgumentsFollowTheProgramsName) {
  EXPECT_EQ(argumentsOf(L"vaultpick.exe"), L"");
  EXPECT_EQ(argumentsOf(L"C:\\vaultpick.exe \"D:\\a b.gcf\""), L"\"D:\\a b.gcf\"");
  EXPECT_EQ(argumentsOf(L"\"C:\\Program Files\\vaultpick.exe\"   \"D:\\a.gcf\" "),
            L"\"D:\\a.gcf\" ");
  EXPECT_EQ(argumentsOf(L"\"C:\\Program Files\\vaultpick.exe\"-regme"), L"-regme");
}

TEST(ProgramCommandLine, PackageArgumentLosesItsQuotesAndOnlyThose) {
  EXPECT_EQ(trimSpaces(L"   "), L"");
  EXPECT_EQ(trimSpaces(L"  \"D:\\a b.gcf\"  "), L"\"D:\\a b.gcf\"");
  EXPECT_EQ(trimSpaces(L"\tx\t"), L"\tx\t");
  EXPECT_EQ(unquotePackageArgument(L"\"D:\\a.gcf\""), L"D:\\a.gcf");
  // Spaces inside the quotes stay; the existence check trims them, Text2 keeps them.
  EXPECT_EQ(unquotePackageArgument(L"\" D:\\a.gcf \""), L" D:\\a.gcf ");
  // Without quotes the path loses its first and last characters.
  EXPECT_EQ(unquotePackageArgument(L"D:\\a.gcf"), L":\\a.gc");
  EXPECT_EQ(unquotePackageArgument(L"\""), L"");
}

TEST(ToolOutput, TheReasonIsTheFirstLineWithoutTheToolsName) {
  EXPECT_EQ(firstReason("hlextract: package is truncated: x\r\nhlextract: second\n"),
            "package is truncated: x");
  EXPECT_EQ(firstReason("\r\n\nno prefix here"), "no prefix here");
  EXPECT_EQ(firstReason(""), "");
}

TEST(ToolOutput, ResultLinesArriveInPiecesAndOnlyWholeOnesCount) {
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
  // A job file's fields each end in a NUL.
  std::string jobs;
  appendJob(jobs, "C:\\out", "root\\a b.txt");
  EXPECT_EQ(jobs, std::string("C:\\out\0root\\a b.txt\0", 20));
  EXPECT_EQ(jobsCommand(L"C:\\T", L"p.gcf", L"C:\\T\\j.txt"),
            L"\"C:\\T\\hlextract.exe\" -p \"p.gcf\" --jobs \"C:\\T\\j.txt\"");
}

}  // namespace
}  // namespace vaultpick
