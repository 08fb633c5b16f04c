// Reading packages of many shapes back through the library: every file's bytes, the tree,
// lookups, and what it reports of incomplete and encrypted files.
#include <gtest/gtest.h>

#include "package.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;
using hl::write::Placement;

struct Shape {
  const char* name;
  uint32_t formatVersion;
  uint32_t blockSize;
  Placement placement;
  uint32_t blocksPerFragment;
  uint32_t freeBlocks;
};

// Names the shape in test listings instead of dumping its bytes.
void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }

class ReadBack : public ::testing::TestWithParam<Shape> {};

TEST_P(ReadBack, EveryFileReadsBackAsWritten) {
  const Shape& shape = GetParam();
  ScratchFolder scratch;
  Node tree = mixedTree(shape.blockSize);
  Options options;
  options.formatVersion = shape.formatVersion;
  options.blockSize = shape.blockSize;
  options.placement = shape.placement;
  options.blocksPerFragment = shape.blocksPerFragment;
  options.freeBlocks = shape.freeBlocks;
  auto package = openPackage(makePackage(tree, options, scratch / "shape.gcf"));
  ASSERT_TRUE(package);
  EXPECT_EQ(package->formatVersion(), shape.formatVersion);
  EXPECT_TRUE(package->warnings().empty()) << package->warnings().front();
  expectReadsBack(*package, expectedFiles(tree));
  package->walk(hl::kRootItem, '\\', [&](uint32_t item, const std::string&) {
    if (!package->isFile(item)) return;
    hl::ChunkReport report;
    hl::Status status = package->validate(item, report);
    EXPECT_TRUE(status.ok()) << status.message();
  });
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ReadBack,
    ::testing::Values(Shape{"Contiguous", 6, 8192, Placement::Sequential, 0, 0},
                      Shape{"Scattered", 6, 8192, Placement::Scattered, 0, 7},
                      Shape{"Reversed", 6, 512, Placement::Reversed, 0, 3},
                      Shape{"Interleaved", 6, 1024, Placement::Interleaved, 0, 2},
                      Shape{"MultiFragment", 6, 512, Placement::Scattered, 2, 5},
                      Shape{"SmallBlocks", 6, 64, Placement::Scattered, 3, 11},
                      Shape{"LargeBlocks", 6, 65536, Placement::Sequential, 0, 1},
                      Shape{"Version5", 5, 4096, Placement::Scattered, 0, 2},
                      Shape{"Version3", 3, 4096, Placement::Interleaved, 1, 0}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

TEST(Read, TreeLookupsAndPaths) {
  ScratchFolder scratch;
  auto package = openPackage(makePackage(mixedTree(8192), Options(), scratch / "tree.gcf"));
  ASSERT_TRUE(package);
  uint32_t deep = package->find("maps\\sub\\deep.txt");
  ASSERT_NE(deep, hl::kNoItem);
  EXPECT_EQ(package->path(deep), "maps\\sub\\deep.txt");
  EXPECT_EQ(package->find("MAPS/Sub/DEEP.TXT"), deep) << "lookups ignore case and accept '/'";
  EXPECT_EQ(package->find(""), hl::kRootItem);
  EXPECT_EQ(package->find("maps\\missing"), hl::kNoItem);
  EXPECT_EQ(package->find("readme.txt\\below-a-file"), hl::kNoItem);
  EXPECT_FALSE(package->isFile(package->find("maps\\empty folder")));
  EXPECT_EQ(package->fileCountBelow(package->find("maps")), 3u);

  std::vector<std::string> order;
  package->walk(hl::kRootItem, '\\',
                [&](uint32_t, const std::string& path) { order.push_back(path); });
  std::vector<std::string> expected{
      "readme.txt",           "empty.dat",          "maps",
      "maps\\de_dust.bsp",    "maps\\sub",          "maps\\sub\\deep.txt",
      "maps\\sub\\exact.bin", "maps\\empty folder", "sound",
      "sound\\big.wav",       "sound\\one.byte",    "name with spaces, commas.txt"};
  EXPECT_EQ(order, expected) << "depth first, in directory order";
}

TEST(Read, ExactCaseWinsOverFoldedCase) {
  ScratchFolder scratch;
  Node tree = Node::folder("", {Node::file("Data.txt", Content::text("upper")),
                                Node::file("data.txt", Content::text("lower"))});
  auto package = openPackage(makePackage(tree, Options(), scratch / "case.gcf"));
  ASSERT_TRUE(package);
  EXPECT_EQ(package->name(package->find("data.txt")), "data.txt");
  EXPECT_EQ(package->name(package->find("Data.txt")), "Data.txt");
}

TEST(Read, IncompleteAndEncryptedFilesAreReportedNotRead) {
  ScratchFolder scratch;
  Node partial = Node::file("partial.bin", Content::pattern(5000, 9));
  partial.storedBytes = 1500;
  Node locked = Node::file("locked.bin", Content::pattern(3000, 10));
  locked.extraFlags = 0x100;
  Node tree = Node::folder("", {partial, locked, Node::file("fine.txt", Content::text("fine"))});
  Options options;
  options.blockSize = 1024;
  auto package = openPackage(makePackage(tree, options, scratch / "states.gcf"));
  ASSERT_TRUE(package);

  hl::FileInfo info;
  ASSERT_TRUE(package->inspect(package->find("partial.bin"), info).ok());
  EXPECT_EQ(info.size, 5000u);
  EXPECT_EQ(info.storedBytes, 1500u);
  EXPECT_FALSE(info.complete());
  auto refuse = [&](const char* path) {
    bool called = false;
    hl::Status status =
        package->read(package->find(path), [&](const uint8_t*, size_t) { return called = true; });
    EXPECT_FALSE(called) << path << ": no bytes may be handed out";
    return status.code();
  };
  EXPECT_EQ(refuse("partial.bin"), hl::ErrorCode::Incomplete);
  EXPECT_EQ(refuse("locked.bin"), hl::ErrorCode::Encrypted);
  hl::ChunkReport report;
  EXPECT_EQ(package->validate(package->find("partial.bin"), report).code(),
            hl::ErrorCode::Incomplete);
  EXPECT_TRUE(package->validate(package->find("fine.txt"), report).ok());
}

TEST(Read, ThousandsOfItems) {
  ScratchFolder scratch;
  Node tree = manyFilesTree(5000, 700);
  Options options;
  options.blockSize = 512;
  options.placement = Placement::Scattered;
  auto package = openPackage(makePackage(tree, options, scratch / "many.gcf"));
  ASSERT_TRUE(package);
  EXPECT_EQ(package->fileCount(), 5000u);
  expectReadsBack(*package, expectedFiles(tree));
}

TEST(Read, DataBlocksPastFourGibibytes) {
  // Leading free blocks push every used block beyond 4 GiB; the file stays sparse.
  ScratchFolder scratch;
  Node tree = mixedTree(65536);
  Options options;
  options.blockSize = 65536;
  options.leadingFreeBlocks = static_cast<uint32_t>((5ull << 30) / 65536);
  fs::path path = makePackage(tree, options, scratch / "huge.gcf");
  ASSERT_GT(fs::file_size(path), 5ull << 30);
  auto package = openPackage(path);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->warnings().size(), 0u);
  expectReadsBack(*package, expectedFiles(tree));
}

TEST(Read, ValidationFindsOneFlippedByte) {
  ScratchFolder scratch;
  Node tree = Node::folder("", {Node::file("big.bin", Content::pattern(100000, 3))});
  fs::path path = makePackage(tree, Options(), scratch / "flip.gcf");
  std::vector<uint8_t> bytes = readFile(path);
  // The file's data starts in block 0, which the writer puts at the end of the tables: the
  // package is its tables plus whole blocks, so block 0 starts at size - blocks * block size.
  uint64_t firstBlock = bytes.size() - 13 * 8192;
  bytes[firstBlock + 40000] ^= 0x01;  // inside the second 32 KiB chunk
  writeFile(path, bytes);
  auto package = openPackage(path);
  ASSERT_TRUE(package);
  hl::ChunkReport report;
  hl::Status status = package->validate(package->find("big.bin"), report);
  EXPECT_EQ(status.code(), hl::ErrorCode::Damaged);
  EXPECT_EQ(report.badChunks, std::vector<uint32_t>{1});
  EXPECT_EQ(report.checksummedChunks, 4u);
}

TEST(Read, NcfFilesComeFromTheContentFolder) {
  ScratchFolder scratch;
  Node tree = mixedTree(8192);
  Node shortFile = Node::file("short.bin", Content::pattern(4000, 1));
  shortFile.storedBytes = 100;
  tree.children.push_back(shortFile);
  Options options;
  options.type = hl::PackageType::Ncf;
  options.formatVersion = 1;
  options.ncfContentRoot = scratch / "content";
  auto package = openPackage(makePackage(tree, options, scratch / "game.ncf"));
  ASSERT_TRUE(package);
  EXPECT_EQ(package->type(), hl::PackageType::Ncf);
  uint32_t readme = package->find("readme.txt");
  hl::Status status = package->read(readme, [](const uint8_t*, size_t) { return true; });
  EXPECT_EQ(status.code(), hl::ErrorCode::Invalid) << "no content folder given yet";

  package->setContentRoot(scratch / "content");
  hl::FileInfo info;
  ASSERT_TRUE(package->inspect(package->find("short.bin"), info).ok());
  EXPECT_EQ(info.storedBytes, 100u);
  fs::remove(scratch / "content" / "readme.txt");
  hl::ChunkReport report;
  EXPECT_EQ(package->validate(readme, report).code(), hl::ErrorCode::Incomplete);
  EXPECT_TRUE(package->validate(package->find("sound\\big.wav"), report).ok());
  EXPECT_EQ(readAll(*package, package->find("sound\\big.wav")),
            contentOf(Content::pattern(70000, 4)));
  EXPECT_EQ(readAll(*package, package->find("maps\\sub\\exact.bin")),
            contentOf(Content::pattern(8192, 3)));
}

}  // namespace
