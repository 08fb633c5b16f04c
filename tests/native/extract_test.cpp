// Extraction into folders: what lands where for a file, a folder and the root; hostile names
// never leave the destination; a failed extraction leaves existing files as they were.
#include "hllib/extract.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;

// Every file below `folder` on disk, by path relative to it with '\\' separators.
ExpectedFiles filesOnDisk(const fs::path& folder) {
  ExpectedFiles files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), folder).generic_u8string();
    for (char& c : relative)
      if (c == '/') c = '\\';
    files[relative] = readFile(entry.path());
  }
  return files;
}

hl::Status extract(const hl::Package& package, const std::string& path, const fs::path& destination,
                   hl::ExtractSummary& summary) {
  return hl::extractItem(package, package.find(path), destination, nullptr, summary);
}

TEST(Extract, FileFolderAndRootLandWhereExpected) {
  ScratchFolder scratch;
  Node tree = mixedTree(1024);
  Options options;
  options.blockSize = 1024;
  options.placement = hl::write::Placement::Interleaved;
  auto package = openPackage(makePackage(tree, options, scratch / "p.gcf"));
  ASSERT_TRUE(package);
  ExpectedFiles all = expectedFiles(tree);

  hl::ExtractSummary summary;
  ASSERT_TRUE(extract(*package, "maps\\sub\\deep.txt", scratch / "file", summary).ok());
  EXPECT_EQ(filesOnDisk(scratch / "file"),
            (ExpectedFiles{{"deep.txt", all["maps\\sub\\deep.txt"]}}))
      << "a file goes in under its own name, without its folders";

  ASSERT_TRUE(extract(*package, "maps", scratch / "folder", summary).ok());
  ExpectedFiles maps;
  for (const auto& [path, bytes] : all)
    if (path.rfind("maps\\", 0) == 0) maps[path] = bytes;
  EXPECT_EQ(filesOnDisk(scratch / "folder"), maps)
      << "a folder goes in under its own name with its tree";
  EXPECT_TRUE(fs::is_directory(scratch / "folder" / "maps" / "empty folder"));

  ASSERT_TRUE(extract(*package, "", scratch / "root", summary).ok());
  EXPECT_EQ(filesOnDisk(scratch / "root"), all)
      << "the root's contents go directly into the folder";
  EXPECT_EQ(fs::file_size(scratch / "root" / "empty.dat"), 0u);
  EXPECT_EQ(summary.failures, 0u);
}

TEST(Extract, HostileNamesNeverLeaveTheDestination) {
  ScratchFolder scratch;
  const char* hostile[] = {"..",        ".",         "a/b",      "a\\b",     "c:evil",
                           "CON",       "nul.txt",   "com1",     "LPT9.log", "tab\there",
                           "trailing.", "trailing ", "quote\"d", "wild*"};
  Node tree = Node::folder("", {Node::file("good.txt", Content::text("good"))});
  Node escape = Node::folder("..", {Node::file("escaped.txt", Content::text("outside"))});
  tree.children.push_back(escape);
  for (const char* name : hostile) tree.children.push_back(Node::file(name, Content::text("bad")));
  Options options;
  options.allowUnsafeNames = true;
  auto package = openPackage(makePackage(tree, options, scratch / "hostile.gcf"));
  ASSERT_TRUE(package);

  fs::path destination = scratch / "deep" / "out";
  fs::create_directories(destination);
  hl::ExtractSummary summary;
  std::vector<std::string> refused;
  hl::Status status = hl::extractItem(
      *package, hl::kRootItem, destination,
      [&](const std::string& path, const hl::Status& result) {
        if (result.code() == hl::ErrorCode::UnsafeName) refused.push_back(path);
      },
      summary);
  EXPECT_EQ(status.code(), hl::ErrorCode::UnsafeName);
  EXPECT_EQ(refused.size(), std::size(hostile) + 1) << "each hostile name is reported once";
  EXPECT_EQ(summary.filesWritten, 1u);
  EXPECT_EQ(filesOnDisk(scratch.path()).size(), 2u)
      << "only good.txt (and the package) exist anywhere";
  EXPECT_TRUE(fs::exists(destination / "good.txt"));
}

TEST(Extract, FailureLeavesAnExistingFileAlone) {
  ScratchFolder scratch;
  Node partial = Node::file("save.dat", Content::pattern(3000, 1));
  partial.storedBytes = 10;
  auto package =
      openPackage(makePackage(Node::folder("", {partial}), Options(), scratch / "p.gcf"));
  ASSERT_TRUE(package);
  fs::create_directories(scratch / "out");
  writeFile(scratch / "out" / "save.dat", {'m', 'i', 'n', 'e'});
  hl::ExtractSummary summary;
  hl::Status status = extract(*package, "save.dat", scratch / "out", summary);
  EXPECT_EQ(status.code(), hl::ErrorCode::Incomplete);
  EXPECT_EQ(readFile(scratch / "out" / "save.dat"), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_EQ(filesOnDisk(scratch / "out").size(), 1u) << "no temporary file is left";
}

TEST(Extract, ReplacesAnOlderCopy) {
  ScratchFolder scratch;
  auto package = openPackage(makePackage(
      Node::folder("", {Node::file("a.txt", Content::text("new"))}), Options(), scratch / "p.gcf"));
  ASSERT_TRUE(package);
  fs::create_directories(scratch / "out");
  writeFile(scratch / "out" / "a.txt", std::vector<uint8_t>(10000, 'o'));
  hl::ExtractSummary summary;
  ASSERT_TRUE(extract(*package, "a.txt", scratch / "out", summary).ok());
  EXPECT_EQ(readFile(scratch / "out" / "a.txt"), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

}  // namespace
