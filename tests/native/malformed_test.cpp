// Damaged and hostile packages: every prefix of a valid package, and single fields set to
// values that break counts, indices, offsets and chains. Each must end in a clean error.
#include <gtest/gtest.h>

#include <functional>

#include "byte_order.h"
#include "layout.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;
namespace lo = hl::layout;

// Section offsets of a version 6 package, found by following its headers' counts.
struct Offsets {
  uint64_t blockEntries, fragmentationHeader, fragmentationMap, directoryHeader, entries, names,
      directoryMap, checksumMapHeader, dataBlockHeader;
  uint32_t blockCount, itemCount, nameSize;
};

Offsets offsetsOf(const std::vector<uint8_t>& b) {
  Offsets o{};
  uint32_t entryCount = hl::le32(&b[lo::file_header::kSize + lo::block_entry_header::kBlockCount]);
  o.blockCount = hl::le32(&b[lo::file_header::kBlockCount]);
  o.blockEntries = lo::file_header::kSize + lo::block_entry_header::kSize;
  o.fragmentationHeader = o.blockEntries + uint64_t{entryCount} * lo::block_entry::kSize;
  o.fragmentationMap = o.fragmentationHeader + lo::fragmentation_map_header::kSize;
  o.directoryHeader = o.fragmentationMap + 4ull * o.blockCount;
  o.itemCount = hl::le32(&b[o.directoryHeader + lo::directory_header::kItemCount]);
  o.entries = o.directoryHeader + lo::directory_header::kSize;
  o.names = o.entries + uint64_t{o.itemCount} * lo::directory_entry::kSize;
  o.nameSize = hl::le32(&b[o.directoryHeader + lo::directory_header::kNameSize]);
  o.directoryMap = o.directoryHeader +
                   hl::le32(&b[o.directoryHeader + lo::directory_header::kDirectorySize]) +
                   lo::directory_map::kHeaderSize;
  uint64_t checksumHeader = o.directoryMap + 4ull * o.itemCount;
  o.checksumMapHeader = checksumHeader + lo::checksum_header::kSize;
  o.dataBlockHeader = checksumHeader + lo::checksum_header::kSize +
                      hl::le32(&b[checksumHeader + lo::checksum_header::kChecksumSize]) + 4;
  return o;
}

class Malformed : public ::testing::Test {
 protected:
  void SetUp() override {
    // Small blocks so that files span several blocks and fragments.
    Options options;
    options.blockSize = 256;
    options.blocksPerFragment = 2;
    options.placement = hl::write::Placement::Scattered;
    options.freeBlocks = 4;
    tree_ =
        Node::folder("", {Node::file("a.txt", Content::pattern(1000, 1)),
                          Node::folder("dir", {Node::file("b.bin", Content::pattern(700, 2))})});
    path_ = makePackage(tree_, options, scratch_ / "good.gcf");
    good_ = readFile(path_);
    at_ = offsetsOf(good_);
  }

  uint64_t entry(uint32_t item, uint32_t field) const {
    return at_.entries + uint64_t{item} * lo::directory_entry::kSize + field;
  }
  uint32_t itemOf(const char* path) {
    auto package = openPackage(path_);
    return package ? package->find(path) : hl::kNoItem;
  }

  // Writes the good package with one u32 changed and opens it.
  hl::Status openWith(uint64_t offset, uint32_t value, std::unique_ptr<hl::Package>& package) {
    std::vector<uint8_t> bytes = good_;
    hl::putLe32(&bytes[offset], value);
    writeFile(scratch_ / "bad.gcf", bytes);
    hl::Status status;
    package = hl::Package::open(scratch_ / "bad.gcf", status);
    return status;
  }

  ScratchFolder scratch_;
  Node tree_;
  fs::path path_;
  std::vector<uint8_t> good_;
  Offsets at_;
};

TEST_F(Malformed, EveryPrefixIsRefusedCleanly) {
  for (size_t length = 0; length < good_.size(); ++length) {
    writeFile(scratch_ / "cut.gcf", std::vector<uint8_t>(good_.begin(), good_.begin() + length));
    hl::Status status;
    auto package = hl::Package::open(scratch_ / "cut.gcf", status);
    ASSERT_FALSE(package) << "a prefix of " << length << " bytes opened";
    hl::ErrorCode expected =
        length < lo::file_header::kSize ? hl::ErrorCode::NotAPackage : hl::ErrorCode::Damaged;
    ASSERT_EQ(status.code(), expected) << length << ": " << status.message();
  }
}

TEST_F(Malformed, BrokenStructureIsRefusedAtOpen) {
  struct Case {
    const char* what;
    uint64_t offset;
    uint32_t value;
    hl::ErrorCode expected;
  };
  const Case cases[] = {
      {"header version", lo::file_header::kHeaderVersion, 2, hl::ErrorCode::NotAPackage},
      {"cache type", lo::file_header::kCacheType, 3, hl::ErrorCode::NotAPackage},
      {"format version 7", lo::file_header::kFormatVersion, 7, hl::ErrorCode::Unsupported},
      {"format version 1", lo::file_header::kFormatVersion, 1, hl::ErrorCode::Unsupported},
      {"block size 0", lo::file_header::kBlockSize, 0, hl::ErrorCode::Damaged},
      {"block count", lo::file_header::kBlockCount, 0x7FFFFFFF, hl::ErrorCode::Damaged},
      {"block entry count", lo::file_header::kSize + lo::block_entry_header::kBlockCount,
       0xFFFFFFF0, hl::ErrorCode::Damaged},
      {"fragmentation map count", at_.fragmentationHeader, at_.blockCount + 1,
       hl::ErrorCode::Damaged},
      {"item count huge", at_.directoryHeader + lo::directory_header::kItemCount, 0xFFFFFFFF,
       hl::ErrorCode::Damaged},
      {"item count zero", at_.directoryHeader + lo::directory_header::kItemCount, 0,
       hl::ErrorCode::Damaged},
      {"file count over item count", at_.directoryHeader + lo::directory_header::kFileCount, 99,
       hl::ErrorCode::Damaged},
      {"name size huge", at_.directoryHeader + lo::directory_header::kNameSize, 0x7FFFFFFF,
       hl::ErrorCode::Damaged},
      {"root child out of range", entry(0, lo::directory_entry::kFirstIndex), 1000,
       hl::ErrorCode::Damaged},
      {"sibling cycle", entry(1, lo::directory_entry::kNextIndex), 1, hl::ErrorCode::Damaged},
      {"parent mismatch", entry(1, lo::directory_entry::kParentIndex), 2, hl::ErrorCode::Damaged},
      {"folder child cycle", entry(2, lo::directory_entry::kFirstIndex), 2, hl::ErrorCode::Damaged},
      {"name offset past table", entry(1, lo::directory_entry::kNameOffset), 5000,
       hl::ErrorCode::Damaged},
      {"name table without final NUL", at_.names + at_.nameSize - 4, 0x41414141,
       hl::ErrorCode::Damaged},
      {"checksum map magic", at_.checksumMapHeader, 0x12345678, hl::ErrorCode::Damaged},
      {"checksum count", at_.checksumMapHeader + lo::checksum_map_header::kChecksumCount,
       0x10000000, hl::ErrorCode::Damaged},
      {"data area past the end", at_.dataBlockHeader + lo::data_block_header::kFirstBlockOffset,
       0xFFFFFF00, hl::ErrorCode::Damaged},
      {"data area inside the tables",
       at_.dataBlockHeader + lo::data_block_header::kFirstBlockOffset, 16, hl::ErrorCode::Damaged},
  };
  for (const Case& c : cases) {
    std::unique_ptr<hl::Package> package;
    hl::Status status = openWith(c.offset, c.value, package);
    EXPECT_FALSE(package) << c.what << " was accepted";
    EXPECT_EQ(status.code(), c.expected) << c.what << ": " << status.message();
    EXPECT_FALSE(status.message().empty()) << c.what;
  }
}

TEST_F(Malformed, BrokenChainsAreRefusedWhenRead) {
  uint32_t a = itemOf("a.txt");
  ASSERT_NE(a, hl::kNoItem);
  std::unique_ptr<hl::Package> good = openPackage(path_);
  uint64_t mapEntry = at_.directoryMap + 4ull * a;
  uint32_t firstEntry = hl::le32(&good_[mapEntry]);
  uint64_t blockEntry = at_.blockEntries + uint64_t{firstEntry} * lo::block_entry::kSize;
  uint32_t firstBlock = hl::le32(&good_[blockEntry + lo::block_entry::kFirstDataBlockIndex]);
  struct Case {
    const char* what;
    uint64_t offset;
    uint32_t value;
  };
  const Case cases[] = {
      {"directory map past the entries", mapEntry, 100000},
      {"block entry links to itself", blockEntry + lo::block_entry::kNextBlockEntryIndex,
       firstEntry},
      {"block entry owned by another item", blockEntry + lo::block_entry::kDirectoryIndex, a + 1},
      {"block entry not in use", blockEntry + lo::block_entry::kFlags, 0x0001},
      {"fragment larger than the file", blockEntry + lo::block_entry::kFileDataSize, 5000},
      {"first data block out of range", blockEntry + lo::block_entry::kFirstDataBlockIndex,
       at_.blockCount},
      {"data block chain loops", at_.fragmentationMap + 4ull * firstBlock, firstBlock},
      {"data block chain ends early", at_.fragmentationMap + 4ull * firstBlock, 0xFFFF},
  };
  for (const Case& c : cases) {
    std::unique_ptr<hl::Package> package;
    hl::Status status = openWith(c.offset, c.value, package);
    ASSERT_TRUE(package) << c.what << ": " << status.message();
    status = package->read(a, [](const uint8_t*, size_t) { return true; });
    EXPECT_EQ(status.code(), hl::ErrorCode::Damaged) << c.what << ": " << status.message();
    ScratchFolder out;
    EXPECT_FALSE(package->extractFile(a, out / "a.txt").ok()) << c.what;
    EXPECT_TRUE(fs::is_empty(out.path())) << c.what << ": nothing may be left behind";
    // The other file is untouched by the damage.
    EXPECT_EQ(readAll(*package, package->find("dir\\b.bin")), contentOf(Content::pattern(700, 2)))
        << c.what;
  }
}

// Two conventions for the file header's checksum are reported: a sum of its 40 bytes and a
// sum of its ten u32 fields. Either is accepted without a word; anything else is a warning.
TEST_F(Malformed, FileHeaderChecksumMayBeEitherSum) {
  uint32_t byteSum = 0;
  for (uint32_t i = 0; i < lo::file_header::kChecksum; ++i) byteSum += good_[i];
  const uint32_t fieldSum = hl::fieldSum(good_.data(), lo::file_header::kFieldsBeforeChecksum);
  struct Case {
    const char* what;
    uint32_t checksum;
    size_t warnings;
  };
  const Case cases[] = {
      {"byte sum", byteSum, 0}, {"field sum", fieldSum, 0}, {"neither", byteSum + 1, 1}};
  for (const Case& c : cases) {
    std::unique_ptr<hl::Package> package;
    hl::Status status = openWith(lo::file_header::kChecksum, c.checksum, package);
    ASSERT_TRUE(package) << c.what << ": " << status.message();
    EXPECT_EQ(package->warnings().size(), c.warnings) << c.what;
  }
}

TEST_F(Malformed, NotAPackageAtAll) {
  writeFile(scratch_ / "text.gcf", std::vector<uint8_t>(200, 'x'));
  hl::Status status;
  EXPECT_FALSE(hl::Package::open(scratch_ / "text.gcf", status));
  EXPECT_EQ(status.code(), hl::ErrorCode::NotAPackage);
  EXPECT_FALSE(hl::Package::open(scratch_ / "missing.gcf", status));
  EXPECT_EQ(status.code(), hl::ErrorCode::OpenFailed);
  EXPECT_FALSE(hl::Package::open(scratch_.path(), status));
  EXPECT_EQ(status.code(), hl::ErrorCode::OpenFailed) << "a folder is not a package";
}

}  // namespace
