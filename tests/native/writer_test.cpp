// The package writer: the worked example byte for byte, and what it refuses to write. Reading
// every shape back through the library, and defragmenting each fragmented placement, are the read
// and defragment tests' part.
#include "writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "package_image.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;

constexpr uint32_t kNone = 0xFFFFFFFFu;

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
  const Options options = gcfLayout(Placement::Sequential, 0x2000, 0, 1);  // the fourth block free
  const std::vector<uint8_t> b = readFile(makePackage(tree, options, scratch / "example.gcf"));
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

TEST(Writer, RefusesWhatItCannotWriteFaithfully) {
  struct Case {
    std::string what;
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
  Options tooManyBlocks;
  tooManyBlocks.leadingFreeBlocks = 0xFFFFFFFF;
  const Node small = Node::folder("", {Node::file("f", Content::text("x"))});

  std::vector<Case> cases = {
      {"file with children", Node::folder("", {withChildren}), {}},
      {"more stored than its size", Node::folder("", {overstored}), {}},
      {"size without content", Node::folder("", {Node::file("f", Content{10, nullptr})}), {}},
      {"root is a file", Node::file("", Content::text("x")), {}},
      {"NCF of format 6", small, ncf6},
      {"GCF format 4", small, gcfLayout(Placement::Sequential, 8192, 0, 0, 4)},
      {"block size 0", small, gcfLayout(Placement::Sequential, 0)},
      {"block count past 32 bits", small, tooManyBlocks},
  };
  for (const std::string& name : {"a/b"s, "a\\b"s, "c:x"s, "."s, ".."s, ""s, "a\0b"s})
    cases.push_back({"name " + name, named(name), {}});
  ScratchFolder scratch;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(hl::write::writePackage(c.tree, c.options, scratch / "bad.gcf").code(),
              hl::ErrorCode::Invalid);
    EXPECT_FALSE(fs::exists(scratch / "bad.gcf"));
  }

  Options unsafe = unsafeNames();
  const fs::path hostile = makePackage(named(".."), unsafe, scratch / "hostile.gcf");
  EXPECT_EQ(package_image::decode(hostile).items.at(2).name, "..");
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
