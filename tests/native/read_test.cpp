// Reading packages back through the library: every format and layout, files stored in part,
// encrypted or in an NCF's content folder; then damaged packages, from every prefix to
// single fields that break counts, links and chains, and the faults fuzzing found. Damage must
// end in a clean error, at once, with nothing written.
#include <gtest/gtest.h>

#include <fstream>

#include "extract.h"
#include "layout.h"
#include "list_file.h"
#include "package_image.h"
#include "test_support.h"

namespace {

using namespace testing_support;
namespace lo = hl::layout;

bool accept(const uint8_t*, size_t) { return true; }

TEST(Read, EveryShapeReadsBackAsWrittenAndValidates) {
  ScratchFolder scratch;
  std::vector<Shape> shapes = formatShapes(mixedTree(64), 64);
  for (Shape& shape : formatShapes(mixedTree(8192), 8192)) shapes.push_back(shape);
  shapes.push_back({manyFilesTree(5000, 700), gcfLayout(Placement::Scattered, 512), "5000 files"});
  // Leading free blocks push every used block beyond 4 GiB; the file stays sparse.
  Options far = gcfLayout(Placement::Sequential, 65536);
  far.leadingFreeBlocks = static_cast<uint32_t>((5ull << 30) / 65536);
  shapes.push_back({mixedTree(65536), far, "past 4 GiB"});
  for (Shape made : {demo(), files(300, true), bytes(2, true), ncf({})}) shapes.push_back(made);
  for (size_t i = 0; i < shapes.size(); ++i) {
    Shape& shape = shapes[i];
    SCOPED_TRACE(shape.name + " in blocks of " + std::to_string(shape.options.blockSize));
    const fs::path content = scratch / ("content" + std::to_string(i));
    if (shape.options.type == hl::PackageType::Ncf) shape.options.ncfContentRoot = content;
    auto package = openPackage(makePackage(shape.tree, shape.options, scratch / "p.pkg"));
    ASSERT_TRUE(package);
    package->setContentRoot(content);
    EXPECT_EQ(package->formatVersion(), shape.options.formatVersion);
    EXPECT_TRUE(package->warnings().empty()) << package->warnings().front();
    expectReadsBack(*package, expectedFiles(shape.tree));
  }
}

TEST(Read, NcfFilesComeFromTheContentFolder) {
  ScratchFolder scratch;
  Node tree = mixedTree(8192);
  Node shortFile = Node::file("short.bin", Content::pattern(4000, 1));
  shortFile.storedBytes = 100;
  tree.children.push_back(shortFile);
  tree.children.push_back(Node::file("escape.bin", Content::text("in")));
  fs::path path = makePackage(tree, ncfLayout(scratch / "content"), scratch / "game.ncf");
  std::vector<uint8_t> bytes = readFile(path);
  const std::string escape = "escape.bin", outside = "../out.bin";  // renamed to lead outside
  std::copy(outside.begin(), outside.end(),
            std::search(bytes.begin(), bytes.end(), escape.begin(), escape.end()));
  writeFile(scratch / "out.bin", {'o'});
  bytes.resize(bytes.size() + 9);  // bytes past the tables are noted, not fatal
  writeFile(path, bytes);
  auto package = openPackage(path);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->type(), hl::PackageType::Ncf);
  EXPECT_EQ(package->warnings().size(), 1u);
  uint32_t readme = itemAt(*package, "readme.txt");
  EXPECT_EQ(package->read(readme, accept).code(), hl::ErrorCode::Invalid) << "no folder given yet";
  package->setContentRoot(scratch / "content");
  hl::FileInfo info;
  ASSERT_TRUE(package->inspect(itemAt(*package, "short.bin"), info).ok());
  EXPECT_EQ(info.storedBytes, 100u);
  fs::remove(scratch / "content" / "readme.txt");
  hl::ChunkReport report;
  EXPECT_EQ(package->validate(readme, report).code(), hl::ErrorCode::Incomplete);
  const uint32_t escaping = package_image::decode(path).itemNamed(outside);
  EXPECT_EQ(package->read(escaping, accept).code(), hl::ErrorCode::UnsafeName);
  std::ofstream(scratch / "content" / "sound" / "big.wav", std::ios::app) << "more";
  EXPECT_EQ(readAll(*package, itemAt(*package, "sound\\big.wav")),
            contentOf(Content::pattern(70000, 4)))
      << "only the package's size of a longer file on disk";
}

// A small fragmented package, damaged one way per case. Its 64-byte blocks make a chain that
// claims 4 GiB 67 million steps long.
class Damaged : public ::testing::Test {
 protected:
  void SetUp() override {
    Node tree =
        Node::folder("", {Node::file("a.txt", Content::pattern(1000, 1)),
                          Node::folder("dir", {Node::file("b.bin", Content::pattern(700, 2))})});
    good_ = readFile(makePackage(tree, gcfLayout(Placement::Scattered, 64, 8, 4), path_));
    at_ = package_image::decode(path_);
  }
  // Opens the good package with the changes made.
  std::unique_ptr<hl::Package> openWith(package_image::Patch changes, hl::Status& status) {
    std::vector<uint8_t> bytes = good_;
    package_image::patch(bytes, changes);
    writeFile(scratch_ / "bad.gcf", bytes);
    return hl::Package::open(scratch_ / "bad.gcf", status);
  }

  ScratchFolder scratch_;
  fs::path path_ = scratch_ / "good.gcf";
  std::vector<uint8_t> good_;
  package_image::Image at_;
};

TEST_F(Damaged, EveryPrefixIsRefusedAsTruncated) {
  // A cut inside a header or a table names it.
  const std::pair<uint64_t, const char*> cuts[] = {
      {at_.blockEntryAt(1), "the block entry table ("},
      {at_.fragmentationHeaderAt() + 8, "the fragmentation map header at"},
      {at_.nextBlockAt(1), "the fragmentation map ("},
      {at_.itemAt(1), "the directory ("},
      {at_.directoryMapAt + 4, "the directory map ("},
      {at_.checksumsAt + 40, "the checksum section ("}};
  hl::Status status;
  for (size_t length = 0; length < good_.size(); ++length) {
    writeFile(scratch_ / "cut.gcf", std::vector<uint8_t>(good_.begin(), good_.begin() + length));
    ASSERT_FALSE(hl::Package::open(scratch_ / "cut.gcf", status)) << length << " bytes opened";
    ASSERT_EQ(status.code(),
              length < lo::file_header::kSize ? hl::ErrorCode::NotAPackage : hl::ErrorCode::Damaged)
        << length << ": " << status.message();
    ASSERT_TRUE(length < lo::file_header::kSize || status.truncated()) << status.message();
    for (const auto& [at, named] : cuts)
      EXPECT_TRUE(length != at || status.message().find(named) != std::string::npos)
          << length << ": " << status.message();
  }
}

TEST_F(Damaged, BrokenStructureIsRefusedAtOpen) {
  using namespace lo::directory_entry;
  namespace dh = lo::directory_header;
  namespace db = lo::data_block_header;
  const uint64_t directory = at_.directoryAt, data = at_.dataBlockHeaderAt;
  const uint64_t checksums = at_.checksumsAt + lo::checksum_header::kSize;
  struct Case {
    const char* what;
    package_image::Patch changes;
    hl::ErrorCode expected = hl::ErrorCode::Damaged;
  };
  // clang-format off
  const Case cases[] = {
      {"header version", {{lo::file_header::kHeaderVersion, 2}}, hl::ErrorCode::NotAPackage},
      {"cache type", {{lo::file_header::kCacheType, 3}}, hl::ErrorCode::NotAPackage},
      {"format version 7", {{lo::file_header::kFormatVersion, 7}}, hl::ErrorCode::Unsupported},
      {"format version 1", {{lo::file_header::kFormatVersion, 1}}, hl::ErrorCode::Unsupported},
      {"block size 0 in both headers", {{lo::file_header::kBlockSize, 0}, {data + db::kBlockSize, 0}}},
      {"block count", {{lo::file_header::kBlockCount, 0x7FFFFFFF}}},
      {"data block count", {{data + db::kBlockCount, at_.blockCount + 1}}},
      {"block entry count", {{lo::file_header::kSize, 0xFFFFFFF0}}},
      {"fragmentation map count", {{at_.fragmentationHeaderAt(), at_.blockCount + 1}}},
      {"item count huge", {{directory + dh::kItemCount, 0xFFFFFFFF}}},
      {"item count zero", {{directory + dh::kItemCount, 0}}},
      {"file count over item count", {{directory + dh::kFileCount, 99}}},
      {"name size huge", {{directory + dh::kNameSize, 0x7FFFFFFF}}},
      {"root marked a file", {{at_.itemAt(0) + kFlags, kFlagFile}}},
      {"root's name just past the table", {{at_.itemAt(0) + kNameOffset, at_.nameSize}}},
      {"name table without final NUL", {{at_.namesAt() + at_.nameSize - 4, 0x41414141}}},
      {"checksum map magic", {{checksums, 0x12345678}}},
      {"checksum count", {{checksums + lo::checksum_map_header::kChecksumCount, 0x10000000}}},
      {"data past the end", {{data + db::kFirstBlockOffset, 0xFFFFFF00}}},
      {"data inside the tables", {{data + db::kFirstBlockOffset, 16}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    hl::Status status;
    EXPECT_FALSE(openWith(c.changes, status)) << c.what << " was accepted";
    EXPECT_EQ(status.code(), c.expected) << c.what << ": " << status.message();
    EXPECT_FALSE(status.message().empty()) << c.what;
  }
}

// A broken link of the tree shows where a lookup or a walk reaches it, at once and before
// anything is made: a walk of the root, the whole check, a list file and an extraction fail;
// a lookup that passes the damage fails, one that does not is answered, and its file reads.
TEST_F(Damaged, BrokenTreeLinksFailWhereTheyAreReached) {
  using namespace lo::directory_entry;
  const uint32_t items = static_cast<uint32_t>(at_.items.size());
  struct Case {
    const char* what;
    package_image::Patch changes;
    const char* through;  // a path whose lookup meets the damage
    const char* clear;    // one whose lookup does not, or null
  };
  // Items are numbered breadth first: 1 a.txt, 2 dir, 3 dir\b.bin.
  // clang-format off
  const Case cases[] = {
      {"root child just past the last item", {{at_.itemAt(0) + kFirstIndex, items}}, "a.txt", nullptr},
      {"sibling cycle", {{at_.itemAt(1) + kNextIndex, 1}}, "dir", "a.txt"},
      {"parent mismatch", {{at_.itemAt(1) + kParentIndex, 2}}, "dir", nullptr},
      {"folder child cycle", {{at_.itemAt(2) + kFirstIndex, 2}}, "dir\\b.bin", "a.txt"},
      {"name just past the table", {{at_.itemAt(1) + kNameOffset, at_.nameSize}}, "a.txt", nullptr},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hl::Status status;
    std::unique_ptr<hl::Package> package = openWith(c.changes, status);
    ASSERT_TRUE(package) << status.message();
    uint32_t item = hl::kNoItem;
    EXPECT_EQ(package->find(c.through, item).code(), hl::ErrorCode::Damaged);
    if (c.clear) {
      ASSERT_TRUE(package->find(c.clear, item).ok());
      EXPECT_EQ(readAll(*package, item), contentOf(Content::pattern(1000, 1)));
    }
    int visited = 0;
    for (uint32_t folder : {hl::kRootItem, 2u})  // the root, and dir, whose way passes the damage
      EXPECT_EQ(
          package->walk(folder, '\\', [&](uint32_t, const std::string&) { ++visited; }).code(),
          hl::ErrorCode::Damaged);
    EXPECT_EQ(visited, 0);
    EXPECT_EQ(package->check().code(), hl::ErrorCode::Damaged);
    EXPECT_EQ(hl::writeFileList(*package, scratch_ / "list" / "list.txt", nullptr).code(),
              hl::ErrorCode::Damaged);
    hl::ExtractSummary summary;
    EXPECT_EQ(hl::extractItem(*package, hl::kRootItem, scratch_ / "out", nullptr, summary).code(),
              hl::ErrorCode::Damaged);
    EXPECT_FALSE(fs::exists(scratch_ / "list") || fs::exists(scratch_ / "out"))
        << "nothing may be made";
  }
}

// The damage shows only when the file is read: each way to read it fails at once, for its own
// reason, leaves nothing behind, and the other file still reads.
TEST_F(Damaged, BrokenChainsFailWhenReadAndOnlyThere) {
  using namespace lo::block_entry;
  const uint32_t a = at_.itemNamed("a.txt"), entry = at_.directoryMap.at(a);
  const uint64_t blockEntry = at_.blockEntryAt(entry);
  const uint32_t first = at_.entries.at(entry).firstBlock, flags = at_.entries.at(entry).flags;
  const uint32_t next = at_.entries.at(entry).next;
  const uint64_t secondOffset = at_.blockEntryAt(next) + kFileDataOffset;
  struct Case {
    const char* what;
    package_image::Patch changes;
    const char* reason;
    hl::ErrorCode code = hl::ErrorCode::Damaged;
  };
  // clang-format off
  const Case cases[] = {
      {"directory map past the entries", {{at_.directoryMapAt + 4ull * a, 100000}}, "past the last entry"},
      {"block entry links to itself", {{blockEntry + kNextBlockEntryIndex, entry}}, "in a cycle"},
      {"block entry owned by another item", {{blockEntry + kDirectoryIndex, a + 1}}, "belongs to item"},
      {"block entry not in use", {{blockEntry + kFlags, 0x0001}}, "not in use"},
      {"fragment larger than the file", {{blockEntry + kFileDataSize, 5000}}, "of a file of 1000"},
      {"fragments overlap", {{secondOffset, 0}}, "overlap"},
      {"first data block out of range", {{blockEntry + kFirstDataBlockIndex, at_.blockCount}}, "past the last block"},
      {"data block chain loops", {{at_.nextBlockAt(first), first}}, "a data block twice"},
      {"data block chain ends early", {{at_.nextBlockAt(first), 0xFFFF}}, "chain ends after"},
      {"chain link past the last block", {{at_.nextBlockAt(first), at_.blockCount}}, "chain ends after"},
      // Found by review: a chain looping back on itself while its only fragment claims 4 GiB was
      // followed step by step (minutes, gigabytes) before the overlap was noticed.
      {"looping chain claiming 4 GiB",
       {{at_.itemAt(a) + lo::directory_entry::kItemSize, 0xFFFFFFF0},
        {blockEntry + kNextBlockEntryIndex, static_cast<uint32_t>(at_.entries.size())},
        {blockEntry + kFileDataSize, 0xFFFFFFF0}, {at_.nextBlockAt(first), first}},
       "more than the package's"},
      {"compressed and encrypted", {{blockEntry + kFlags, flags | 0x0002}}, "encrypted", hl::ErrorCode::Encrypted},
      {"encrypted by its directory entry", {{at_.itemAt(a) + lo::directory_entry::kFlags, at_.items[a].flags | 0x100}}, "encrypted", hl::ErrorCode::Encrypted},
  };
  // clang-format on
  for (const Case& c : cases) {
    hl::Status status;
    std::unique_ptr<hl::Package> package = openWith(c.changes, status);
    ASSERT_TRUE(package) << c.what << ": " << status.message();
    status = package->read(a, accept);
    EXPECT_EQ(status.code(), c.code) << c.what;
    EXPECT_NE(status.message().find(c.reason), std::string::npos)
        << c.what << ": " << status.message();
    hl::ChunkReport report;
    EXPECT_EQ(package->validate(a, report).code(), c.code) << c.what;
    ScratchFolder out;
    EXPECT_FALSE(package->extractFile(a, out / "a.txt").ok()) << c.what;
    EXPECT_TRUE(fs::is_empty(out.path())) << c.what << ": nothing may be left behind";
    EXPECT_EQ(readAll(*package, itemAt(*package, "dir\\b.bin")),
              contentOf(Content::pattern(700, 2)))
        << c.what;
  }
}

// Found by fuzzing: an item the root does not reach had its links followed unchecked, so walking
// below such a folder read a directory entry far past the table.
TEST_F(Damaged, AFolderOutsideTheTreeLeadsNowhere) {
  // Items are numbered breadth first: 1 a.txt, 2 dir, 3 dir\b.bin. Ending a.txt's sibling chain
  // cuts dir off the tree; its child link then points far past the last item. b.bin names
  // itself as its parent.
  hl::Status status;
  std::unique_ptr<hl::Package> package =
      openWith({{at_.itemAt(1) + lo::directory_entry::kNextIndex, 0},
                {at_.itemAt(2) + lo::directory_entry::kFirstIndex, 0x7FFFFFF0},
                {at_.itemAt(3) + lo::directory_entry::kParentIndex, 3}},
               status);
  ASSERT_TRUE(package) << status.message();
  ASSERT_EQ(package->name(2), "dir");
  uint32_t files = 1;
  EXPECT_TRUE(package->fileCountBelow(2, files).ok());
  EXPECT_EQ(files, 0u);
  EXPECT_EQ(package->read(2, accept).code(), hl::ErrorCode::Invalid) << "a folder is no file";
  EXPECT_EQ(package->read(package->itemCount(), accept).code(), hl::ErrorCode::ItemNotFound);
  int calls = 0;  // a reader that asks to stop is given nothing more
  EXPECT_TRUE(package->read(3, [&](const uint8_t*, size_t) { return ++calls < 0; }).ok());
  EXPECT_EQ(calls, 1);
  EXPECT_LT(package->path(3).size(), 100u) << "a path is built in bounded time";
  int visited = 0;  // before the whole tree is checked, and after, when its marks decide
  auto count = [&](uint32_t, const std::string&) { ++visited; };
  for (bool whole : {false, true}) {
    if (whole) ASSERT_TRUE(package->check().ok());
    EXPECT_TRUE(package->walk(2, '\\', count).ok());
    EXPECT_EQ(package->walk(package->itemCount(), '\\', count).code(), hl::ErrorCode::ItemNotFound);
  }
  EXPECT_EQ(visited, 0);
  EXPECT_EQ(package->warnings().size(), 2u) << "items outside the tree, files it does not hold";
  hl::ExtractSummary summary;
  hl::extractItem(*package, 2, scratch_ / "out", nullptr, summary);
  EXPECT_EQ(summary.filesWritten, 0u);
  EXPECT_EQ(itemAt(*package, "dir"), hl::kNoItem);
  // A file's child link, which nothing else follows, leads nowhere either.
  package = openWith({{at_.itemAt(1) + lo::directory_entry::kFirstIndex, 3}}, status);
  ASSERT_TRUE(package) << status.message();
  EXPECT_EQ(itemAt(*package, "a.txt\\b.bin"), hl::kNoItem);
}

}  // namespace
