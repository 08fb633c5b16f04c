// Extraction into folders through the library (what lands where, and the race with folders
// swapped for links, are the tool tests' part): hostile names never lead outside the
// destination, a failed extraction leaves existing files as they were, and temporaries never
// meet existing files.
#include "extract.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using namespace testing_support;

// Extracts the item at `path`; the items reported failing with `code` go to `failed`.
hl::Status extract(const hl::Package& package, const std::string& path, const fs::path& destination,
                   hl::ExtractSummary& summary, std::vector<std::string>* failed = nullptr,
                   hl::ErrorCode code = hl::ErrorCode::Ok) {
  return hl::extractItem(
      package, itemAt(package, path), destination,
      [&](const std::string& item, const hl::Status& result) {
        if (failed && result.code() == code) failed->push_back(item);
      },
      summary);
}

TEST(Extract, HostileNamesNeverLeaveTheDestination) {
  ScratchFolder scratch;
  const char* hostile[] = {"..",       ".",     "a/b",      "a\\b",      "c:evil",    "CON",
                           "nul.txt",  "com1",  "LPT9.log", "tab\there", "trailing.", "trailing ",
                           "quote\"d", "wild*", "",         "con .txt"};
  Node tree = Node::folder("", {Node::file("good.txt", Content::text("good")),
                                Node::folder("..", {Node::file("out.txt", Content::text("out"))})});
  for (const char* name : hostile) tree.children.push_back(Node::file(name, Content::text("bad")));
  auto package = openPackage(makePackage(tree, unsafeNames(), scratch / "hostile.gcf"));
  ASSERT_TRUE(package);

  fs::path destination = scratch / "deep" / "out";
  fs::create_directories(destination);
  hl::ExtractSummary summary;
  std::vector<std::string> refused;
  hl::Status status =
      extract(*package, "", destination, summary, &refused, hl::ErrorCode::UnsafeName);
  EXPECT_EQ(status.code(), hl::ErrorCode::UnsafeName);
  EXPECT_EQ(refused.size(), std::size(hostile) + 1) << "each hostile name is reported once";
  EXPECT_EQ(summary.filesWritten, 1u);
  EXPECT_EQ(filesOnDisk(scratch.path()).size(), 2u)
      << "only good.txt (and the package) exist anywhere";
  EXPECT_TRUE(fs::exists(destination / "good.txt"));
}

// Every file goes through a temporary of a fresh name: files already there and items named
// like temporaries are never lost, a file that cannot be read leaves an older copy as it was,
// a folder that cannot be made fails with its files while the first failure decides the result,
// and the copies are no more open than the package.
TEST(Extract, TemporariesNeverMeetExistingFilesOrItems) {
  ScratchFolder scratch;
  // Items are numbered from 1 in this order: each name is what the temporary of an item
  // would be if it were made from the item's number alone.
  Node partial = Node::file("save.dat", Content::pattern(3000, 1));
  partial.storedBytes = 10;
  Node tree = Node::folder(
      "", {Node::file("~hlx2.tmp", Content::text("one")), Node::file("b.txt", Content::text("two")),
           Node::file("~hlx3.tmp", Content::text("three")), partial,
           Node::folder("blocked", {Node::file("x", Content::text("x"))})});
  fs::path packagePath = makePackage(tree, Options(), scratch / "p.gcf");
  auto package = openPackage(packagePath);
  ASSERT_TRUE(package);
  fs::path out = scratch / "out";
  fs::create_directories(out);
  writeFile(out / "~hlx1.tmp", {'u', 's', 'e', 'r'});
  writeFile(out / "b.txt", std::vector<uint8_t>(10000, 'o'));  // an older copy, replaced
  writeFile(out / "save.dat", {'m', 'i', 'n', 'e'});           // mine, kept
  writeFile(out / "blocked", {'b'});                           // a file where a folder goes
  hl::ExtractSummary summary;
  EXPECT_EQ(extract(*package, "", out, summary).code(), hl::ErrorCode::Incomplete);
  ExpectedFiles expected = expectedFiles(tree);
  expected.erase("blocked\\x");
  expected["~hlx1.tmp"] = {'u', 's', 'e', 'r'};
  expected["save.dat"] = {'m', 'i', 'n', 'e'};
  expected["blocked"] = {'b'};
  EXPECT_EQ(filesOnDisk(out), expected) << "no temporary is left";
  EXPECT_EQ(summary.filesWritten, 3u);
  EXPECT_EQ(summary.failures, 2u);
  EXPECT_EQ(hl::extractItem(*package, package->itemCount(), out, nullptr, summary).code(),
            hl::ErrorCode::ItemNotFound);

#if !defined(_WIN32)
  fs::permissions(packagePath, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(extract(*package, "b.txt", scratch / "private", summary).ok());
  EXPECT_EQ(fs::status(scratch / "private" / "b.txt").permissions() &
                (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
#endif
}

// Names clash when the file system would give them the same file: letter case counts on
// Windows only. The first item keeps the name; the second fails with its whole tree.
TEST(Extract, AnItemWhoseNameIsTakenInItsFolderFails) {
  ScratchFolder scratch;
  Node tree = Node::folder(
      "", {Node::file("same.txt", Content::text("1")), Node::file("same.txt", Content::text("2")),
           Node::folder("dir", {Node::file("a.txt", Content::text("1"))}),
           Node::folder("dir", {Node::file("b.txt", Content::text("2"))}),
           Node::file("Case.txt", Content::text("1")), Node::file("case.txt", Content::text("2"))});
  auto package = openPackage(makePackage(tree, Options(), scratch / "p.gcf"));
  ASSERT_TRUE(package);
  std::vector<std::string> clashes;
  hl::ExtractSummary summary;
  hl::Status status =
      extract(*package, "", scratch / "out", summary, &clashes, hl::ErrorCode::NameClash);
  EXPECT_EQ(status.code(), hl::ErrorCode::NameClash);
  std::vector<std::string> expected = {"same.txt", "dir"};
  ExpectedFiles written{{"same.txt", {'1'}}, {"dir\\a.txt", {'1'}}, {"Case.txt", {'1'}}};
#if defined(_WIN32)
  expected.push_back("case.txt");
#else
  written["case.txt"] = {'2'};
#endif
  EXPECT_EQ(clashes, expected);
  EXPECT_EQ(summary.failures, expected.size());
  EXPECT_EQ(filesOnDisk(scratch / "out"), written);
  // Lookups: the exact name first, then the first in another case; whole names; none below a file.
  EXPECT_EQ(readAll(*package, itemAt(*package, "case.txt")), std::vector<uint8_t>{'2'});
  EXPECT_EQ(readAll(*package, itemAt(*package, "CASE.TXT")), std::vector<uint8_t>{'1'});
  for (const char* nothing : {"Case.txt\\same.txt", "CASE.TXTX", "CASE.TX"})
    EXPECT_EQ(itemAt(*package, nothing), hl::kNoItem) << nothing;
}

}  // namespace
