// Defragmentation: round trips over fragmented package shapes with the new layout checked by the
// test-side decoder, stops at several points of the copy, refusals that leave packages alone,
// and the fields and blocks a rewrite must keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <utility>

#include "byte_order.h"
#include "defragment_steps.h"
#include "layout.h"
#include "package_image.h"
#include "test_support.h"

#if defined(__linux__)
#include <fcntl.h>
#include <unistd.h>

#include <thread>
#endif

namespace {

using namespace testing_support;
using hl::DefragmentOptions;
using hl::DefragmentResult;
using package_image::Image;

constexpr uint32_t kFileFlag = 0x4000;
constexpr uint16_t kEntryInUse = 0x8000;

// Files packed from block 0 in directory entry order (the order a laid-out package is written
// in), each fragment's blocks consecutive and linked n -> n+1,
// every free block at the end holding the terminator (or, `chained`, the next free block) and
// reading as zeros.
void expectDefragmentedLayout(const Image& image, const std::vector<uint8_t>& bytes,
                              bool chained = false) {
  uint32_t next = 0;
  size_t misplaced = 0, entriesReached = 0;
  for (uint32_t item = 0; item < image.items.size(); ++item) {
    if (!(image.items[item].flags & kFileFlag)) continue;
    for (const std::vector<uint32_t>& blocks : package_image::fileBlocks(image, item)) {
      ++entriesReached;
      for (uint32_t block : blocks) misplaced += block != next++;
    }
  }
  EXPECT_EQ(misplaced, 0u) << "data blocks out of place";
  size_t inUse = std::count_if(
      image.entries.begin(), image.entries.end(),
      [](const package_image::BlockEntry& e) { return (e.flags & kEntryInUse) != 0; });
  EXPECT_EQ(entriesReached, inUse) << "every block entry in use belongs to a file";
  EXPECT_EQ(image.firstUnusedBlock, next);
  const uint8_t* header = &bytes[image.fragmentationHeaderAt()];
  EXPECT_EQ(hl::le32(header + 12), hl::fieldSum(header, 3)) << "fragmentation map header checksum";
  size_t badFree = 0;
  for (uint32_t block = next; block < image.blockCount; ++block)
    badFree += image.nextBlock[block] !=
               (chained && block + 1 < image.blockCount ? block + 1 : image.terminator());
  EXPECT_EQ(badFree, 0u) << "free blocks must keep the package's convention";
  uint64_t freeAt = image.firstBlockOffset + uint64_t{next} * image.blockSize;
  uint64_t dataEnd = image.firstBlockOffset + uint64_t{image.blockCount} * image.blockSize;
  ASSERT_LE(dataEnd, bytes.size());
  EXPECT_TRUE(std::all_of(bytes.begin() + freeAt, bytes.begin() + dataEnd, [](uint8_t b) {
    return b == 0;
  })) << "free blocks must be zero";
}

// Everything before the data area is the original's, but for the fields a defragmentation
// rewrites: used entries' first data block, the map header's first unused block and checksum,
// and the map itself.
void expectMetadataKept(const Image& before, const std::vector<uint8_t>& old,
                        const std::vector<uint8_t>& now) {
  ASSERT_EQ(old.size(), now.size());
  std::vector<uint8_t> a(old.begin(), old.begin() + before.firstBlockOffset);
  std::vector<uint8_t> b(now.begin(), now.begin() + before.firstBlockOffset);
  auto mask = [&](uint64_t from, uint64_t count) {
    std::fill_n(a.begin() + from, count, 0);
    std::fill_n(b.begin() + from, count, 0);
  };
  for (size_t i = 0; i < before.entries.size(); ++i)
    if (before.entries[i].flags & kEntryInUse) mask(before.blockEntryAt(i) + 12, 4);
  uint64_t header = before.fragmentationHeaderAt();
  mask(header + 4, 4);
  mask(header + 12, 4 + 4ull * before.blockCount);
  EXPECT_TRUE(a == b) << "metadata outside the rewritten fields changed";
}

// A file's data blocks in full, so the bytes past its end in a last block count too.
std::vector<uint8_t> wholeBlocks(const Image& image, const std::vector<uint8_t>& bytes,
                                 uint32_t item) {
  std::vector<uint8_t> data;
  for (const std::vector<uint32_t>& blocks : package_image::fileBlocks(image, item))
    for (uint32_t block : blocks) {
      auto at = bytes.begin() + image.firstBlockOffset + uint64_t{block} * image.blockSize;
      data.insert(data.end(), at, at + image.blockSize);
    }
  return data;
}

void expectReadsBack(const fs::path& path, const Node& tree) {
  auto package = openPackage(path);
  ASSERT_TRUE(package);
  testing_support::expectReadsBack(*package, expectedFiles(tree));
}

// Calls `visit` with each in-use fragment's last data block and its size; marks every block
// a fragment uses in the result.
std::vector<bool> usedBlocks(const Image& image,
                             const std::function<void(uint32_t, uint32_t)>& visit = {}) {
  std::vector<bool> used(image.blockCount);
  for (const package_image::BlockEntry& entry : image.entries) {
    if (!(entry.flags & kEntryInUse) || entry.size == 0) continue;
    uint32_t block = entry.firstBlock;
    for (uint32_t left = entry.size; left > image.blockSize; left -= image.blockSize) {
      used.at(block) = true;
      block = image.nextBlock.at(block);
    }
    used.at(block) = true;
    if (visit) visit(block, entry.size);
  }
  return used;
}

// Marks by hand the bytes no reader looks at: the unused end of each fragment's last block
// (which must move with it), every free block (which must come out zero), and bytes past the
// data area (which must stay).
std::vector<uint8_t> markUnreadBytes(const fs::path& path, const Image& image) {
  std::vector<uint8_t> bytes = readFile(path);
  auto blockAt = [&](uint32_t block) {
    return bytes.begin() + image.firstBlockOffset + uint64_t{block} * image.blockSize;
  };
  std::vector<bool> used = usedBlocks(image, [&](uint32_t block, uint32_t size) {
    uint32_t tail = size % image.blockSize;
    if (tail) std::fill(blockAt(block) + tail, blockAt(block) + image.blockSize, 0xA5);
  });
  for (uint32_t block = 0; block < image.blockCount; ++block)
    if (!used[block]) std::fill_n(blockAt(block), image.blockSize, 0xEE);
  bytes.insert(bytes.end(), 100, 0x5A);
  writeFile(path, bytes);
  return bytes;
}

// `force` only for a package that is laid out already.
void expectRoundTrip(const Shape& shape, bool force = false) {
  SCOPED_TRACE(shape.name);
  ScratchFolder scratch;
  fs::path path = makePackage(shape.tree, shape.options, scratch / "game.gcf");
  Image before = package_image::decode(path);
  std::vector<uint8_t> old = markUnreadBytes(path, before);

  DefragmentResult result{};
  DefragmentOptions options;
  options.force = force;
  hl::Status status = hl::defragment(path, options, result);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(result, DefragmentResult::Rewritten);
  EXPECT_TRUE(defragmentTemporaries(path).empty());

  std::vector<uint8_t> now = readFile(path);
  Image after = package_image::decode(path);
  expectMetadataKept(before, old, now);
  expectDefragmentedLayout(after, now, shape.options.chainFreeBlocks);
  EXPECT_TRUE(std::equal(old.end() - 100, old.end(), now.end() - 100))
      << "bytes past the data area";
  for (uint32_t item = 0; item < before.items.size(); ++item) {
    if (!(before.items[item].flags & kFileFlag)) continue;
    EXPECT_TRUE(wholeBlocks(before, old, item) == wholeBlocks(after, now, item)) << "item " << item;
  }
  expectReadsBack(path, shape.tree);

  // The planner agrees with what the writer made: nothing is left to do, and nothing is touched.
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(1));
  const fs::file_time_type stamp = fs::last_write_time(path);
  ASSERT_TRUE(hl::defragment(path, {}, result).ok());
  EXPECT_EQ(result, DefragmentResult::AlreadyDefragmented);
  EXPECT_TRUE(readFile(path) == now);
  EXPECT_EQ(fs::last_write_time(path), stamp);
}

TEST(Defragment, FragmentedShapesRoundTrip) {
  Options leading = gcfLayout(Placement::Sequential, 512);
  leading.leadingFreeBlocks = 3;
  Options chained = gcfLayout(Placement::Scattered, 512, 2, 7);
  chained.chainFreeBlocks = true;
  const Shape shapes[] = {
      {mixedTree(512), gcfLayout(Placement::Interleaved, 512), "Interleaved"},
      {mixedTree(512), gcfLayout(Placement::Reversed, 512), "Reversed"},
      {mixedTree(1024), gcfLayout(Placement::Scattered, 1024, 0, 9), "ScatteredWithFreeBlocks"},
      {mixedTree(512), gcfLayout(Placement::Scattered, 512, 2, 5), "MultiFragment"},
      {mixedTree(256), gcfLayout(Placement::Interleaved, 256, 1, 4), "OneBlockFragments"},
      {smallTree(512), gcfLayout(Placement::Scattered, 512, 2, 6), "IncompleteAndEncrypted"},
      {mixedTree(512), leading, "LeadingFreeBlocks"},
      {mixedTree(512), chained, "ChainedFreeBlocks"},
  };
  for (const Shape& shape : shapes) expectRoundTrip(shape);
  expectRoundTrip({Node::folder("", {Node::file("one", Content::pattern(100, 3))}),
                   gcfLayout(Placement::Sequential, 8192), "OneBlockForced"},
                  true);
}

// A run stopped as if killed leaves the original whole and readable, and its copy with the
// package's own permissions. That copy is not the next run's to remove: its name is unique. The
// run that completes goes through a symbolic link, which stays one; while it is under way a second
// run finds the package in use and changes nothing.
TEST(Defragment, StoppedAndConcurrentRunsLeaveTheOriginalIntact) {
  ScratchFolder scratch;
  Node tree = mixedTree(512);
  fs::path path =
      makePackage(tree, gcfLayout(Placement::Interleaved, 512, 2, 3), scratch / "game.gcf");
  // Bits that a usual umask takes away, so the copy must set them itself.
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write |
                            fs::perms::others_write);
  const fs::perms mode = fs::status(path).permissions();
  std::vector<uint8_t> old = readFile(path);
  Image before = package_image::decode(path);
  const uint64_t stops[] = {1, 2, 5, before.blocksUsed / 2, before.blocksUsed - 1};
  for (uint64_t stop : stops) {
    SCOPED_TRACE("stopped after " + std::to_string(stop) + " blocks");
    DefragmentResult result{};
    EXPECT_FALSE(hl::defragmentStoppingAfter(path, {}, stop, result).ok());
    EXPECT_TRUE(readFile(path) == old);
    expectReadsBack(path, tree);
  }
  std::vector<fs::path> left = defragmentTemporaries(path);
  EXPECT_EQ(left.size(), std::size(stops)) << "one copy of its own per run";
  for (const fs::path& copy : left) EXPECT_EQ(fs::status(copy).permissions(), mode) << copy;
#if defined(__linux__)
  // A program that opens the package for writing is held back until the run has stopped, the
  // package as it was. The first open, not waiting, makes the run meet it at its next step.
  std::thread writer;
  int opened = -1;
  DefragmentOptions watched;
  watched.progress = [&](uint64_t, uint64_t) {
    if (writer.joinable()) return;
    EXPECT_EQ(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC), -1) << "held back";
    writer = std::thread([&] { opened = ::open(path.c_str(), O_RDWR | O_CLOEXEC); });
  };
  DefragmentResult stopped{};
  EXPECT_EQ(hl::defragment(path, watched, stopped).code(), hl::ErrorCode::InUse);
  writer.join();
  EXPECT_EQ(::close(opened), 0) << "the held-back open went through";
  EXPECT_TRUE(readFile(path) == old);
#endif

  const fs::path link = scratch / "link.gcf";
  std::error_code noLinks;  // Wine makes none
  fs::create_symlink(path, link, noLinks);
  bool asked = false;
  DefragmentOptions first;
  first.progress = [&](uint64_t, uint64_t) {
    if (std::exchange(asked, true)) return;
    DefragmentResult second{};
    EXPECT_EQ(hl::defragment(path, {}, second).code(), hl::ErrorCode::InUse);
    EXPECT_TRUE(readFile(path) == old);
  };
  DefragmentResult result{};
  ASSERT_TRUE(hl::defragment(noLinks ? path : link, first, result).ok());
  EXPECT_EQ(result, DefragmentResult::Rewritten);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(noLinks || (fs::is_symlink(link) && defragmentTemporaries(link).empty()));
  EXPECT_EQ(defragmentTemporaries(path).size(), std::size(stops));
  EXPECT_EQ(fs::status(path).permissions(), mode);
  expectDefragmentedLayout(package_image::decode(path), readFile(path));
  expectReadsBack(path, tree);
}

// What a rewrite would not understand, or must not touch, and what has nothing to move: decided
// before a byte is written, the package as it was to the byte and to its time of change.
TEST(Defragment, RefusalsAndNothingToDoWriteNothing) {
  ScratchFolder scratch;
  fs::path base =
      makePackage(mixedTree(512), gcfLayout(Placement::Scattered, 512, 0, 4), scratch / "b");
  const std::vector<uint8_t> bytes = readFile(base);
  const Image image = package_image::decode(base);
  const uint64_t map = image.fragmentationHeaderAt();
  auto patched = [&](const char* name, const std::function<void(std::vector<uint8_t>&)>& patch) {
    std::vector<uint8_t> copy = bytes;
    patch(copy);
    writeFile(scratch / name, copy);
    return scratch / name;
  };
  auto made = [&](const char* name, const Options& options) {
    return makePackage(mixedTree(1024), options, scratch / name);
  };
  // The last file's first block entry pointed at the first file's block: two files claim it,
  // while each on its own still reads.
  const uint32_t first = image.directoryMap.at(image.items.at(0).first);
  uint32_t last = first;
  for (uint32_t e = 0; e < image.entries.size(); ++e)
    if ((image.entries[e].flags & kEntryInUse) && image.entries[e].previous == image.entries.size())
      last = e;
  ASSERT_NE(last, first);
  const std::vector<bool> used = usedBlocks(image);
  fs::path linked = patched("linked.gcf", [](std::vector<uint8_t>&) {});
  std::error_code linkError;
  fs::create_hard_link(linked, scratch / "other-name.gcf", linkError);
  ASSERT_FALSE(linkError) << linkError.message();
  fs::create_directories(scratch / "folder.gcf");
  fs::path readOnly = patched("read-only.gcf", [](std::vector<uint8_t>&) {});
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  const bool canWriteReadOnly = !!std::ofstream(readOnly, std::ios::binary | std::ios::app);

  struct Case {
    const char* what;
    fs::path package;
    hl::ErrorCode code;
    const char* says;
  };
  auto entryFirstBlock = [&](uint32_t block) {
    return [&, block](std::vector<uint8_t>& b) {
      hl::putLe32(&b[image.blockEntryAt(last) + 12], block);
    };
  };
  // clang-format off
  const Case cases[] = {
      {"missing", scratch / "missing.gcf", hl::ErrorCode::OpenFailed, ""},
      {"folder", scratch / "folder.gcf", hl::ErrorCode::OpenFailed, ""},
      {"shared block", patched("shared.gcf", entryFirstBlock(image.entries.at(first).firstBlock)), hl::ErrorCode::Damaged, ""},
      {"block past the last", patched("far.gcf", entryFirstBlock(image.blockCount)), hl::ErrorCode::Damaged, "past the last block"},
      {"map header checksum", patched("sum.gcf", [&](std::vector<uint8_t>& b) { hl::putLe32(&b[map + 12], hl::le32(&b[map + 12]) + 1); }),
       hl::ErrorCode::Refused, "checksum"},
      {"client's flag", patched("flag.gcf", [](std::vector<uint8_t>& b) { b[0x14] = 1; hl::putLe32(&b[0x28], hl::byteSum(b.data(), 0x28)); }),
       hl::ErrorCode::Refused, "in use or being updated by its client"},
      {"free entries", patched("free.gcf", [&](std::vector<uint8_t>& b) {
         for (uint32_t block = 0; block < image.blockCount; ++block)
           if (!used[block]) hl::putLe32(&b[map + 16 + 4ull * block], 0);
       }), hl::ErrorCode::Refused, "neither the terminator nor a chain"},
      {"format 5", made("v5.gcf", gcfLayout(Placement::Interleaved, 1024, 0, 2, 5)), hl::ErrorCode::Refused, "format version 5"},
      {"format 3", made("v3.gcf", gcfLayout(Placement::Interleaved, 1024, 0, 2, 3)), hl::ErrorCode::Refused, "format version 3"},
      {"hard links", linked, hl::ErrorCode::Refused, "2 hard links"},
      {"read-only", canWriteReadOnly ? fs::path() : readOnly, hl::ErrorCode::WriteFailed, ""},
      {"NCF", made("game.ncf", ncfLayout()), hl::ErrorCode::Ok, ""},
  };
  // clang-format on

  for (const Case& c : cases) {
    if (c.package.empty()) continue;  // this user may write read-only files (root)
    const std::string before = stateOf(c.package);
    std::error_code noTime;  // a missing package has none; a folder's is not set under Wine
    fs::file_time_type stamp = fs::last_write_time(c.package, noTime);
    if (!noTime) fs::last_write_time(c.package, stamp -= std::chrono::hours(1), noTime);
    DefragmentResult result{};
    hl::Status status = hl::defragment(c.package, {}, result);
    EXPECT_EQ(status.code(), c.code) << c.what << ": " << status.message();
    EXPECT_NE(status.message().find(c.says), std::string::npos)
        << c.what << ": " << status.message();
    EXPECT_TRUE(status.ok() ? result == DefragmentResult::NothingToDo : !status.message().empty());
    EXPECT_TRUE(stateOf(c.package) == before) << c.what;
    if (!noTime) {
      EXPECT_EQ(fs::last_write_time(c.package), stamp) << c.what;
    }
    EXPECT_TRUE(defragmentTemporaries(c.package).empty()) << c.what;
  }
  ASSERT_TRUE(openPackage(scratch / "v5.gcf")) << "format 5 still reads";
  fs::permissions(readOnly, fs::perms::owner_all);
}

// Hand-made on a package with no block free: what its first unused entry should hold is not
// known, so the package's own value stays (here one that differs from the writer's block count);
// and a file's directory map entry cleared, so its block entry is in use but no file reaches it:
// its stored bytes still move, after every file's.
TEST(Defragment, KeepsTheMapHeaderAndUnreachedData) {
  ScratchFolder scratch;
  fs::path path =
      makePackage(mixedTree(512), gcfLayout(Placement::Reversed, 512), scratch / "game.gcf");
  Image image = package_image::decode(path);
  ASSERT_EQ(image.blocksUsed, image.blockCount);
  std::vector<uint8_t> bytes = readFile(path);
  const uint64_t map = image.fragmentationHeaderAt();
  hl::putLe32(&bytes[map + 4], 0);
  hl::putLe32(&bytes[map + 12], hl::fieldSum(&bytes[map], 3));
  const uint32_t item = image.itemNamed("arena01.bsp"), entry = image.directoryMap.at(item);
  std::vector<uint8_t> data = wholeBlocks(image, bytes, item);
  ASSERT_TRUE(image.directoryMapHeaderAt);
  hl::putLe32(&bytes[*image.directoryMapHeaderAt + 8 + 4ull * item],
              static_cast<uint32_t>(image.entries.size()));
  writeFile(path, bytes);

  DefragmentResult result{};
  hl::Status status = hl::defragment(path, {}, result);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(result, DefragmentResult::Rewritten);
  Image after = package_image::decode(path);
  std::vector<uint8_t> now = readFile(path);
  EXPECT_TRUE(std::equal(bytes.begin() + map, bytes.begin() + map + 16, now.begin() + map));
  uint32_t blocks = static_cast<uint32_t>(data.size() / image.blockSize);
  uint32_t block = after.entries.at(entry).firstBlock;
  EXPECT_EQ(block + blocks, after.blockCount) << "placed right after the files, last";
  for (uint32_t i = 0; i < blocks; ++i, block = after.nextBlock.at(block)) {
    auto at = now.begin() + after.firstBlockOffset + uint64_t{block} * image.blockSize;
    EXPECT_TRUE(std::equal(at, at + image.blockSize, data.begin() + uint64_t{i} * image.blockSize))
        << i;
  }
}

// Found by review: with no block in use the copy and check buffers were still sized by the
// header's block size, so a tiny package claiming 4 GiB blocks made a rewrite allocate 12 GiB.
TEST(Defragment, NoBlockInUseAllocatesNoBlockSizedBuffer) {
  ScratchFolder scratch;
  fs::path path = makePackage(Node::folder("", {Node::folder("empty")}), Options{}, scratch / "p");
  const Image image = package_image::decode(path);
  ASSERT_EQ(image.blockCount, 0u);
  package_image::patch(
      path, {{hl::layout::file_header::kBlockSize, 0xFFFFFFFF},
             {image.dataBlockHeaderAt + hl::layout::data_block_header::kBlockSize, 0xFFFFFFFF}});
  DefragmentOptions force;
  force.force = true;  // it is laid out already
  DefragmentResult result{};
  hl::Status status = hl::defragment(path, force, result);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(result, DefragmentResult::Rewritten);
  std::unique_ptr<hl::Package> package = openPackage(path);
  ASSERT_TRUE(package);
  EXPECT_EQ(itemAt(*package, "empty"), 1u);
}

}  // namespace
