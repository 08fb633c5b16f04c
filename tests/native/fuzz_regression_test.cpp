// Faults that fuzzing and the hostile-input review found, each rebuilt from a package our writer
// makes plus the few fields that made it hostile. No fuzzer input is kept as a file.
#include <gtest/gtest.h>

#include <chrono>

#include "byte_order.h"
#include "defragment.h"
#include "extract.h"
#include "layout.h"
#include "package_image.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;
namespace lo = hl::layout;

// Where the fields of a version 6 GCF lie, from the test-side decoder's view of it.
struct Fields {
  explicit Fields(const fs::path& path) : image(package_image::decode(path)) {}

  uint64_t blockEntry(uint32_t index, uint32_t field) const {
    return lo::file_header::kSize + lo::block_entry_header::kSize +
           uint64_t{index} * lo::block_entry::kSize + field;
  }
  uint64_t fragmentationHeader(uint32_t field) const {
    return blockEntry(static_cast<uint32_t>(image.entries.size()), 0) + field;
  }
  uint64_t nextBlock(uint32_t block) const {
    return fragmentationHeader(lo::fragmentation_map_header::kSize) + 4ull * block;
  }
  uint64_t item(uint32_t index, uint32_t field) const {
    return image.directoryAt + lo::directory_header::kSize +
           uint64_t{index} * lo::directory_entry::kSize + field;
  }

  package_image::Image image;
};

// Rewrites the package at `path` with each (offset, value) pair stored as a u32.
void patch(const fs::path& path, std::initializer_list<std::pair<uint64_t, uint32_t>> changes) {
  std::vector<uint8_t> bytes = readFile(path);
  for (const auto& [offset, value] : changes) hl::putLe32(&bytes[offset], value);
  writeFile(path, bytes);
}

// Found by fuzz_open. An item the root does not reach had its links followed unchecked: walking
// below such a folder (fileCountBelow, extracting it) read a directory entry far past the table.
TEST(FuzzRegression, WalkBelowAFolderOutsideTheTreeFollowsNoLinks) {
  ScratchFolder scratch;
  Node tree = Node::folder("", {Node::file("a.txt", Content::text("a")),
                                Node::folder("dir", {Node::file("b.txt", Content::text("b"))})});
  fs::path path = makePackage(tree, Options{}, scratch / "p.gcf");
  // Items are numbered breadth first: 1 a.txt, 2 dir, 3 dir\b.txt. Ending a.txt's sibling chain
  // cuts dir off the tree; its child link then points far past the last item.
  Fields at(path);
  patch(path, {{at.item(1, lo::directory_entry::kNextIndex), 0},
               {at.item(2, lo::directory_entry::kFirstIndex), 0x7FFFFFF0}});
  std::unique_ptr<hl::Package> package = openPackage(path);
  ASSERT_TRUE(package);
  ASSERT_EQ(package->name(2), "dir");
  EXPECT_EQ(package->fileCountBelow(2), 0u);
  int visited = 0;
  package->walk(2, '\\', [&](uint32_t, const std::string&) { ++visited; });
  EXPECT_EQ(visited, 0);
  hl::ExtractSummary summary;
  hl::extractItem(*package, 2, scratch / "out", nullptr, summary);
  EXPECT_EQ(summary.filesWritten, 0u);
  EXPECT_EQ(package->find("dir"), hl::kNoItem);
}

// Found by review, for fuzz_extract and fuzz_validate to confirm. A fragment may claim up to
// 4 GiB; with its data block chain looping back on itself, the chain was followed (one run
// kept per step) until the claimed bytes were used up: hundreds of millions of steps and
// gigabytes of runs before the overlap was noticed. 16-byte blocks make that 268 million.
TEST(FuzzRegression, LoopingBlockChainClaimingGibibytesEndsAtOnce) {
  ScratchFolder scratch;
  Options options;
  options.blockSize = 16;
  Node tree = Node::folder("", {Node::file("a.bin", Content::pattern(100, 1))});
  fs::path path = makePackage(tree, options, scratch / "p.gcf");
  Fields at(path);
  ASSERT_EQ(at.image.entries.size(), at.image.blockCount);
  const uint32_t first = at.image.entries[0].firstBlock;
  patch(path, {{at.item(1, lo::directory_entry::kItemSize), 0xFFFFFFF0},
               {at.blockEntry(0, lo::block_entry::kFileDataSize), 0xFFFFFFF0},
               {at.nextBlock(first), first}});
  std::unique_ptr<hl::Package> package = openPackage(path);
  ASSERT_TRUE(package);
  // The fault cost about 40 s and 6 GiB per call (or ended in std::bad_alloc); the check is
  // immediate.
  const auto start = std::chrono::steady_clock::now();
  hl::Status status = package->read(1, [](const uint8_t*, size_t) { return true; });
  EXPECT_EQ(status.code(), hl::ErrorCode::Damaged) << status.message();
  hl::ChunkReport report;
  EXPECT_EQ(package->validate(1, report).code(), hl::ErrorCode::Damaged);
  EXPECT_FALSE(package->extractFile(1, scratch / "a.bin").ok());
  EXPECT_FALSE(fs::exists(scratch / "a.bin"));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 5000);
}

// Found by review, for fuzz_defragment to confirm. The copy and check buffers were sized by the
// header's block size even when no block is in use: a package of a few hundred bytes claiming
// 4 GiB blocks made defragmenting allocate 12 GiB, which a 32-bit build cannot even try.
TEST(FuzzRegression, DefragmentingWithoutDataBlocksAllocatesNoBlockSizedBuffer) {
  ScratchFolder scratch;
  fs::path path =
      makePackage(Node::folder("", {Node::folder("empty")}), Options{}, scratch / "p.gcf");
  Fields at(path);
  ASSERT_EQ(at.image.blockCount, 0u);
  patch(path, {{lo::file_header::kBlockSize, 0xFFFFFFFF},
               {at.image.dataBlockHeaderAt + lo::data_block_header::kBlockSize, 0xFFFFFFFF}});
  ASSERT_TRUE(openPackage(path));
  hl::DefragmentResult result{};
  hl::DefragmentOptions rewrite;
  rewrite.force = true;  // it is laid out already
  hl::Status status = hl::defragment(path, rewrite, result);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(result, hl::DefragmentResult::Rewritten);
  std::unique_ptr<hl::Package> package = openPackage(path);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->find("empty"), 1u);
}

}  // namespace
