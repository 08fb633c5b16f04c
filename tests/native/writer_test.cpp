// The package writer, checked by decoding what it wrote: the worked example byte for byte, each
// placement's layout, partial and empty files, data past 4 GiB, formats 5, 3 and NCF, refusals.
#include "writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "checksum.h"
#include "package_image.h"
#include "test_support.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;
using hl::write::Placement;
using package_image::Image;
using testing_support::contentOf;
using testing_support::ScratchFolder;

constexpr uint32_t kNone = 0xFFFFFFFFu;

// Checks what holds for every package whatever its shape: the sections tile the file, the
// sizes stored in headers agree with them, and the hash chain lists every item once.
void expectWellFormed(const Image& image) {
  const uint64_t fileSize = fs::file_size(image.path);
  EXPECT_EQ(image.checksumMagic, 0x14893721u);
  EXPECT_EQ(image.directoryEnd - image.directoryAt, image.directorySize);
  EXPECT_EQ(image.checksumsAt + 8 + image.checksumSize, image.checksumsEnd);
  if (image.cacheType == 1) {
    EXPECT_EQ(image.firstBlockOffset, image.metadataEnd);
    EXPECT_EQ(fileSize, image.firstBlockOffset + uint64_t{image.blockCount} * image.blockSize);
    EXPECT_EQ(image.fileSizeField, static_cast<uint32_t>(fileSize));
  } else {
    EXPECT_EQ(image.metadataEnd, fileSize);
  }
  std::vector<int> seen(image.items.size(), 0);
  for (size_t i = 0; i < image.hashChain.size(); ++i) {
    const uint32_t item = image.hashChain[i] & 0x7FFFFFFF;
    ASSERT_LT(item, seen.size());
    ++seen[item];
  }
  EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
  for (uint32_t key : image.hashKeys) {
    if (key == kNone) continue;
    ASSERT_LT(key, image.hashChain.size());
    EXPECT_TRUE(key == 0 || image.hashChain[key - 1] >> 31) << "a bucket starts mid-run";
  }
  EXPECT_TRUE(image.hashChain.empty() || image.hashChain.back() >> 31);
}

Image writeAndDecode(const Node& root, const Options& options, const fs::path& target) {
  hl::Status status = hl::write::writePackage(root, options, target);
  EXPECT_TRUE(status.ok()) << status.message();
  Image image = package_image::decode(target);
  expectWellFormed(image);
  return image;
}

// A file's stored checksums, found through its directory entry and checksum map entry.
std::vector<uint32_t> storedChecksums(const Image& image, uint32_t item) {
  const auto range = image.checksumMap.at(image.items.at(item).checksumIndex);
  return std::vector<uint32_t>(image.checksums.begin() + range.second,
                               image.checksums.begin() + range.second + range.first);
}

std::vector<uint32_t> chunkChecksums(const std::vector<uint8_t>& content) {
  std::vector<uint32_t> checksums;
  for (size_t offset = 0; offset < content.size(); offset += 0x8000)
    checksums.push_back(hl::chunkChecksum(content.data() + offset,
                                          std::min<size_t>(0x8000, content.size() - offset)));
  return checksums;
}

std::vector<uint32_t> fields(const std::vector<uint8_t>& bytes, uint32_t offset, uint32_t count) {
  std::vector<uint32_t> values;
  for (uint32_t i = 0; i < count; ++i)
    values.push_back(package_image::u32At(bytes, offset + 4 * i));
  return values;
}

TEST(Writer, ReproducesTheWorkedExample) {
  std::vector<uint8_t> bsp(8197);
  for (size_t i = 0; i < bsp.size(); ++i) bsp[i] = static_cast<uint8_t>(i * 7);
  Node tree = Node::folder("", {Node::folder("maps", {Node::file("a.bsp", Content::bytes(bsp))}),
                                Node::file("readme.txt", Content::text("0123456789"))});
  ScratchFolder scratch;
  Options options;
  options.blockSize = 0x2000;
  options.freeBlocks = 1;  // the example's fourth data block
  Image image = writeAndDecode(tree, options, scratch / "example.gcf");
  const std::vector<uint8_t> b = testing_support::readFile(image.path);
  ASSERT_EQ(b.size(), 0x829Bu);

  using V = std::vector<uint32_t>;
  // The file header's checksum sums its 40 bytes before it, not its ten u32 fields (0xA2AF).
  EXPECT_EQ(fields(b, 0x0000, 11), (V{1, 1, 6, 7, 1, 0, 0, 0x829B, 0x2000, 4, 0x151}));
  EXPECT_EQ(fields(b, 0x002C, 8), (V{4, 2, 1, 0, 0, 0, 0, 7}));
  EXPECT_EQ(fields(b, 0x004C, 7), (V{0x8001, 0, 10, 0, 4, 4, 2}));
  EXPECT_EQ(fields(b, 0x0068, 7), (V{0x8001, 0, 8197, 1, 4, 4, 3}));
  EXPECT_EQ(fields(b, 0x0084, 14), (V{0, 0, 0, 0, 4, 4, 0, 0, 0, 0, 0, 4, 4, 0}));
  EXPECT_EQ(fields(b, 0x00BC, 8), (V{4, 3, 0, 7, 0xFFFF, 2, 0xFFFF, 0xFFFF}));
  EXPECT_EQ(fields(b, 0x00DC, 12), (V{4, 7, 1, 4, 2, 0x8000, 0xDF, 23, 4, 0, 0, 0}));
  EXPECT_EQ(fields(b, 0x0114, 28), (V{0,  2,    kNone, 0,      kNone, 0, 1,     // root
                                      1,  1,    kNone, 0,      0,     2, 3,     // maps
                                      6,  10,   0,     0x4000, 0,     0, 0,     // readme.txt
                                      17, 8197, 1,     0x4000, 1,     0, 0}));  // maps/a.bsp
  EXPECT_EQ(std::string(b.begin() + 0x184, b.begin() + 0x19B),
            std::string("\0maps\0readme.txt\0a.bsp\0", 23));
  EXPECT_EQ(fields(b, 0x01BB, 6), (V{1, 0, 4, 4, 0, 1}));
  EXPECT_EQ(fields(b, 0x01D3, 10), (V{1, 0xA8, 0x14893721, 1, 2, 2, 1, 0, 1, 1}));
  EXPECT_EQ(fields(b, 0x01FB, 2), (V{0xAC71C5CB, 0xD482D8B3}));
  EXPECT_TRUE(std::all_of(b.begin() + 0x203, b.begin() + 0x283, [](uint8_t x) { return x == 0; }));
  EXPECT_EQ(fields(b, 0x0283, 6), (V{1, 4, 0x2000, 0x29B, 3, 0x22A2}));

  EXPECT_EQ(std::string(b.begin() + 0x29B, b.begin() + 0x29B + 10), "0123456789");
  EXPECT_TRUE(std::equal(bsp.begin(), bsp.end(), b.begin() + 0x29B + 0x2000));
  EXPECT_TRUE(
      std::all_of(b.begin() + 0x29B + 0x2000 + 8197, b.end(), [](uint8_t x) { return !x; }));
}

// Files of 6, 0, 3, 1 and 9 blocks of 512 bytes; items 1, 2, 4, 5 and 7 once numbered.
Node sampleTree() {
  return Node::folder(
      "", {
              Node::file("a.bin", Content::pattern(5 * 512 + 100, 1)),
              Node::file("empty.txt", Content::bytes({})),
              Node::folder(
                  "sub",
                  {
                      Node::file("b.bin", Content::pattern(3 * 512, 2)),
                      Node::file("c.bin", Content::pattern(1, 3)),
                      Node::folder("deep", {Node::file("d.bin", Content::pattern(9 * 512 - 1, 4))}),
                  }),
          });
}
constexpr uint32_t kSampleUsedBlocks = 19;

Options sampleOptions(Placement placement) {
  Options options;
  options.blockSize = 512;
  options.freeBlocks = 4;
  options.placement = placement;
  return options;
}

// The owning item of each used block, in block order.
std::vector<uint32_t> ownersOnDisk(const Image& image) {
  std::map<uint32_t, uint32_t> owner;
  for (uint32_t item = 0; item < image.items.size(); ++item) {
    for (const auto& fragment : package_image::fileBlocks(image, item))
      for (uint32_t block : fragment) owner[block] = item;
  }
  std::vector<uint32_t> owners;
  for (const auto& entry : owner) owners.push_back(entry.second);
  return owners;
}

std::vector<uint32_t> blocksOf(const Image& image, uint32_t item) {
  std::vector<uint32_t> blocks;
  for (const auto& fragment : package_image::fileBlocks(image, item))
    blocks.insert(blocks.end(), fragment.begin(), fragment.end());
  return blocks;
}

TEST(Writer, EveryPlacementStoresEveryFileIntact) {
  std::map<std::string, std::vector<uint8_t>> contents;
  const Node tree = sampleTree();
  for (const auto& entry : testing_support::expectedFiles(tree)) {
    contents[entry.first.substr(entry.first.find_last_of('\\') + 1)] = entry.second;
  }
  ScratchFolder scratch;
  for (Placement placement :
       {Placement::Sequential, Placement::Scattered, Placement::Reversed, Placement::Interleaved}) {
    for (uint32_t blocksPerFragment : {0u, 2u}) {
      SCOPED_TRACE(testing::Message() << "placement " << static_cast<int>(placement)
                                      << ", blocks per fragment " << blocksPerFragment);
      Options options = sampleOptions(placement);
      options.blocksPerFragment = blocksPerFragment;
      Image image = writeAndDecode(tree, options, scratch / "p.gcf");
      EXPECT_EQ(image.blockCount, kSampleUsedBlocks + 4);
      EXPECT_EQ(image.blocksUsed, kSampleUsedBlocks);
      EXPECT_EQ(package_image::fileBlocks(image, 7).size(), blocksPerFragment ? 5u : 1u);
      for (uint32_t item = 0; item < image.items.size(); ++item) {
        if (!(image.items[item].flags & 0x4000)) continue;
        const std::vector<uint8_t>& content = contents.at(image.items[item].name);
        EXPECT_EQ(package_image::storedBytes(image, item), content) << image.items[item].name;
        EXPECT_EQ(storedChecksums(image, item), chunkChecksums(content));
      }
    }
  }
}

TEST(Writer, SequentialPlacementIsContiguousWithFreeBlocksAtTheEnd) {
  ScratchFolder scratch;
  Image image =
      writeAndDecode(sampleTree(), sampleOptions(Placement::Sequential), scratch / "s.gcf");
  std::vector<uint32_t> inFileOrder;
  for (uint32_t item : {1, 4, 5, 7}) {
    std::vector<uint32_t> blocks = blocksOf(image, item);
    inFileOrder.insert(inFileOrder.end(), blocks.begin(), blocks.end());
  }
  for (uint32_t i = 0; i < inFileOrder.size(); ++i) EXPECT_EQ(inFileOrder[i], i);
  EXPECT_EQ(image.firstUnusedBlock, kSampleUsedBlocks);
}

TEST(Writer, ReversedPlacementDescendsWithinEachFile) {
  ScratchFolder scratch;
  Image image = writeAndDecode(sampleTree(), sampleOptions(Placement::Reversed), scratch / "r.gcf");
  for (uint32_t item : {1, 4, 7}) {
    std::vector<uint32_t> blocks = blocksOf(image, item);
    EXPECT_TRUE(std::is_sorted(blocks.rbegin(), blocks.rend())) << "item " << item;
  }
  EXPECT_LT(image.firstUnusedBlock, kSampleUsedBlocks) << "free blocks lie among used ones";
}

TEST(Writer, InterleavedPlacementDealsOneBlockOfEachFileInTurn) {
  ScratchFolder scratch;
  Image image =
      writeAndDecode(sampleTree(), sampleOptions(Placement::Interleaved), scratch / "i.gcf");
  EXPECT_EQ(ownersOnDisk(image),
            (std::vector<uint32_t>{1, 4, 5, 7, 1, 4, 7, 1, 4, 7, 1, 7, 1, 7, 1, 7, 7, 7, 7}));
  EXPECT_LT(image.firstUnusedBlock, kSampleUsedBlocks) << "free blocks lie among used ones";
}

TEST(Writer, ScatteredPlacementFragmentsFilesDeterministically) {
  ScratchFolder scratch;
  Options options = sampleOptions(Placement::Scattered);
  Image first = writeAndDecode(sampleTree(), options, scratch / "1.gcf");
  Image again = writeAndDecode(sampleTree(), options, scratch / "2.gcf");
  options.seed = 2;
  Image reseeded = writeAndDecode(sampleTree(), options, scratch / "3.gcf");
  Image sequential =
      writeAndDecode(sampleTree(), sampleOptions(Placement::Sequential), scratch / "4.gcf");

  EXPECT_EQ(testing_support::readFile(first.path), testing_support::readFile(again.path));
  EXPECT_NE(ownersOnDisk(first), ownersOnDisk(reseeded));
  EXPECT_NE(ownersOnDisk(first), ownersOnDisk(sequential));
  std::vector<uint32_t> d = blocksOf(first, 7);
  const bool contiguous = std::adjacent_find(d.begin(), d.end(), [](uint32_t a, uint32_t b) {
                            return b != a + 1;
                          }) == d.end();
  EXPECT_FALSE(contiguous) << "the 9-block file should be scattered";
}

TEST(Writer, PartialUnstoredEmptyAndMultiChunkFiles) {
  Node partial = Node::file("partial.bin", Content::pattern(5000, 1));
  partial.storedBytes = 1000;
  Node unstored = Node::file("unstored.bin", Content::pattern(3000, 2));
  unstored.storedBytes = 0;
  Node tree = Node::folder("", {partial, unstored, Node::file("empty.bin", Content::bytes({})),
                                Node::file("big.bin", Content::pattern(70000, 3))});
  ScratchFolder scratch;
  Options options;
  options.blockSize = 512;
  options.blocksPerFragment = 1;
  Image image = writeAndDecode(tree, options, scratch / "p.gcf");

  const std::vector<uint8_t> full = contentOf(partial.content);
  EXPECT_EQ(package_image::storedBytes(image, 1),
            std::vector<uint8_t>(full.begin(), full.begin() + 1000));
  EXPECT_EQ(image.entries[1].size, 488u) << "the last fragment ends mid-block";
  EXPECT_EQ(storedChecksums(image, 1), chunkChecksums(full))
      << "checksums cover the whole content, not what is stored";
  EXPECT_EQ(storedChecksums(image, 4), chunkChecksums(contentOf(tree.children[3].content)));
  EXPECT_EQ(image.items[2].size, 3000u);
  const uint32_t none = image.blockCount;
  EXPECT_EQ(image.directoryMap, (std::vector<uint32_t>{none, 0, none, none, 2}));
  using Range = std::pair<uint32_t, uint32_t>;
  EXPECT_EQ(image.checksumMap, (std::vector<Range>{{1, 0}, {1, 1}, {0, 2}, {3, 2}}));
}

TEST(Writer, LeadingFreeBlocksPutDataPastFourGibibytesInASparseFile) {
  ScratchFolder scratch;
  Node tree = Node::folder("", {Node::file("far.bin", Content::pattern(100000, 5))});
  Options options;
  options.blockSize = 65536;
  options.leadingFreeBlocks = 65536;  // 4 GiB
  Image image = writeAndDecode(tree, options, scratch / "far.gcf");

  EXPECT_GT(fs::file_size(image.path), 4ull << 30);
  EXPECT_EQ(image.terminatorField, 1u) << "block indices reach past 0xFFFF";
  EXPECT_EQ(image.firstUnusedBlock, 0u);
  EXPECT_EQ(blocksOf(image, 1), (std::vector<uint32_t>{65536, 65537}));
  EXPECT_EQ(package_image::storedBytes(image, 1), contentOf(tree.children[0].content));
#if !defined(_WIN32)
  struct stat info {};
  ASSERT_EQ(::stat(image.path.c_str(), &info), 0);
  EXPECT_LT(uint64_t(info.st_blocks) * 512, 64ull << 20) << "free blocks should stay holes";
#endif
}

TEST(Writer, TerminatorWidensOnceABlockIndexCouldEqualTheShortOne) {
  ScratchFolder scratch;
  const Node tree = Node::folder("", {Node::file("f", Content::text("x"))});
  Options options;
  options.blockSize = 1;
  for (uint32_t blockCount : {0xFFFEu, 0xFFFFu}) {
    options.leadingFreeBlocks = blockCount - 1;
    Image image = writeAndDecode(tree, options, scratch / "t.gcf");
    EXPECT_EQ(image.terminatorField, blockCount == 0xFFFF ? 1u : 0u) << blockCount << " blocks";
  }
}

TEST(Writer, OlderFormatsAndNcfCarryTheirOwnSections) {
  ScratchFolder scratch;
  Options options = sampleOptions(Placement::Interleaved);
  options.formatVersion = 5;
  Image v5 = writeAndDecode(sampleTree(), options, scratch / "v5.gcf");
  ASSERT_TRUE(v5.blockEntryMapAt.has_value());
  EXPECT_EQ(v5.entryMap.size(), v5.entries.size());
  EXPECT_EQ(v5.entryMapFirst, 0u);
  EXPECT_EQ(v5.entryMapLast, v5.entriesUsed - 1);
  const uint32_t none = v5.blockCount;
  EXPECT_EQ(v5.entryMap[0], std::make_pair(none, 1u));
  EXPECT_EQ(v5.entryMap[v5.entriesUsed - 1], std::make_pair(v5.entriesUsed - 2, none));
  EXPECT_EQ(v5.entryMap.back(), std::make_pair(none, none));
  EXPECT_TRUE(v5.directoryMapHeaderAt && v5.applicationVersion);

  options.formatVersion = 3;
  Image v3 = writeAndDecode(sampleTree(), options, scratch / "v3.gcf");
  EXPECT_TRUE(v3.blockEntryMapAt && !v3.directoryMapHeaderAt && !v3.applicationVersion);
  for (Image* image : {&v5, &v3}) {
    EXPECT_EQ(package_image::storedBytes(*image, 7), contentOf(Content::pattern(9 * 512 - 1, 4)));
  }

  Node tree = sampleTree();
  tree.children[0].storedBytes = 700;
  tree.children[2].children.push_back(Node::folder("nothing here"));
  Options ncf;
  ncf.type = hl::PackageType::Ncf;
  ncf.formatVersion = 1;
  ncf.cacheVersion = 42;
  ncf.ncfContentRoot = scratch / "content";
  Image image = writeAndDecode(tree, ncf, scratch / "game.ncf");
  EXPECT_EQ((std::vector<uint32_t>{image.cacheType, image.formatVersion, image.fileSizeField,
                                   image.blockSize, image.blockCount}),
            (std::vector<uint32_t>{2, 1, 0, 0, 0}));
  EXPECT_EQ(image.directoryAt, 44u) << "no block entries or fragmentation map";
  EXPECT_TRUE(std::all_of(image.directoryMap.begin(), image.directoryMap.end(),
                          [](uint32_t x) { return x == 0; }));
  EXPECT_EQ(image.applicationVersion, std::optional<uint32_t>(42));
  EXPECT_EQ(image.checksumMap.size(), 5u);

  EXPECT_EQ(fs::file_size(ncf.ncfContentRoot / "a.bin"), 700u);
  EXPECT_EQ(testing_support::readFile(ncf.ncfContentRoot / "sub" / "deep" / "d.bin"),
            contentOf(Content::pattern(9 * 512 - 1, 4)));
  EXPECT_EQ(fs::file_size(ncf.ncfContentRoot / "empty.txt"), 0u);
  EXPECT_TRUE(fs::is_directory(ncf.ncfContentRoot / "sub" / "nothing here"));
}

TEST(Writer, RefusesWhatItCannotWriteFaithfully) {
  struct Case {
    const char* what;
    Node tree;
    Options options;
  };
  auto named = [](std::string name) {
    return Node::folder("", {Node::folder("ok", {Node::file(name, Content::text("x"))})});
  };
  Node withChildren = Node::file("f", Content::text("x"));
  withChildren.children.push_back(Node::file("g", Content::text("y")));
  Node overstored = Node::file("f", Content::text("abc"));
  overstored.storedBytes = 4;
  Options ncf6;
  ncf6.type = hl::PackageType::Ncf;
  Options format4, blockSize0, tooManyBlocks;
  format4.formatVersion = 4;
  blockSize0.blockSize = 0;
  tooManyBlocks.leadingFreeBlocks = 0xFFFFFFFF;
  const Node small = Node::folder("", {Node::file("f", Content::text("x"))});

  const Case cases[] = {
      {"slash", named("a/b"), {}},
      {"backslash", named("a\\b"), {}},
      {"colon", named("c:x"), {}},
      {"dot", named("."), {}},
      {"dot dot", named(".."), {}},
      {"empty name", named(""), {}},
      {"NUL inside", named(std::string("a\0b", 3)), {}},
      {"file with children", Node::folder("", {withChildren}), {}},
      {"more stored than its size", Node::folder("", {overstored}), {}},
      {"size without content", Node::folder("", {Node::file("f", Content{10, nullptr})}), {}},
      {"root is a file", Node::file("", Content::text("x")), {}},
      {"NCF of format 6", small, ncf6},
      {"GCF format 4", small, format4},
      {"block size 0", small, blockSize0},
      {"block count past 32 bits", small, tooManyBlocks},
  };
  ScratchFolder scratch;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(hl::write::writePackage(c.tree, c.options, scratch / "bad.gcf").code(),
              hl::ErrorCode::Invalid);
    EXPECT_FALSE(fs::exists(scratch / "bad.gcf"));
  }

  Options unsafe;
  unsafe.allowUnsafeNames = true;
  Image image = writeAndDecode(named(".."), unsafe, scratch / "hostile.gcf");
  EXPECT_EQ(image.items.at(2).name, "..");
  unsafe.type = hl::PackageType::Ncf;
  unsafe.formatVersion = 1;
  unsafe.ncfContentRoot = scratch / "content";
  const Node escaping =
      Node::folder("", {Node::folder("..", {Node::file("out.txt", Content::text("x"))})});
  EXPECT_EQ(hl::write::writePackage(escaping, unsafe, scratch / "hostile.ncf").code(),
            hl::ErrorCode::Invalid);
  EXPECT_FALSE(fs::exists(scratch.path() / "out.txt"));

  // The content gives its bytes for the checksums, then fails once the package file exists.
  int calls = 0;
  Content failing{10, [&calls](uint64_t, uint8_t* out, size_t count) {
                    if (++calls > 1) throw std::runtime_error("source vanished");
                    std::fill(out, out + count, 0);
                  }};
  hl::Status failed = hl::write::writePackage(Node::folder("", {Node::file("f", failing)}),
                                              Options(), scratch / "failed.gcf");
  EXPECT_EQ(failed.code(), hl::ErrorCode::WriteFailed);
  EXPECT_NE(failed.message().find("source vanished"), std::string::npos);
  EXPECT_FALSE(fs::exists(scratch / "failed.gcf")) << "no half-written package is left";
}

}  // namespace
