// Deterministic mutation testing: packages from our writer, damaged thousands of ways from a fixed
// seed (byte flips, u32 fields set to boundary values, truncations), go through open, listing,
// extraction, validation and, for some, defragmentation. Whatever the damage, each call must end
// in a clean Status and nothing may be written outside the scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "byte_order.h"
#include "defragment.h"
#include "extract.h"
#include "package_data.h"
#include "split_mix.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;
using hl::write::Placement;

#if defined(_WIN32)
// Under Wine each file operation costs several times what it does natively.
constexpr uint32_t kMutantsPerShape = 200;
#else
constexpr uint32_t kMutantsPerShape = 800;
#endif
constexpr uint32_t kDefragmentEvery = 16;

struct Shape {
  const char* name;
  hl::PackageType type;
  uint32_t version;
  Placement placement;
  uint32_t blocksPerFragment;
};

void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }

class Mutation : public ::testing::TestWithParam<Shape> {
 protected:
  void SetUp() override {
    const Shape& shape = GetParam();
    Options options;
    options.type = shape.type;
    options.formatVersion = shape.version;
    options.blockSize = 128;
    options.placement = shape.placement;
    options.blocksPerFragment = shape.blocksPerFragment;
    options.freeBlocks = 3;
    if (shape.type == hl::PackageType::Ncf) options.ncfContentRoot = scratch_ / "content";
    Node tree = Node::folder(
        "", {Node::file("readme.txt", Content::text("mutants\r\n")),
             Node::file("empty.dat", Content::bytes({})),
             Node::folder("maps",
                          {Node::file("a.bsp", Content::pattern(700, 1)),
                           Node::folder("sub", {Node::file("b.txt", Content::pattern(128, 2))})}),
             Node::file("c.wav", Content::pattern(300, 3))});
    good_ = readFile(makePackage(tree, options, scratch_ / "good.pkg"));
    metadataEnd_ = metadataEnd();
  }

  // Where the data area starts (the whole file for an NCF): most mutations land before it,
  // where the structure is.
  uint64_t metadataEnd() {
    std::unique_ptr<hl::Package> package = openPackage(scratch_ / "good.pkg");
    return package ? hl::modelOf(*package).sections.metadataEnd : good_.size();
  }

  uint64_t next() { return hl::splitMix64(0x5EED, draws_++); }
  uint64_t below(uint64_t bound) { return bound ? next() % bound : 0; }
  uint64_t offset(uint64_t room) {
    uint64_t end = next() % 5 ? std::min<uint64_t>(metadataEnd_, good_.size()) : good_.size();
    return below(end > room ? end - room + 1 : 1);
  }

  std::vector<uint8_t> mutant() {
    static const uint32_t kBoundaries[] = {
        0,       1,          2,          3,          4,          5,          6,
        0x7F,    0x80,       0xFF,       0x100,      0x4000,     0x8000,     0xFFFF,
        0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF, 0x14893721,
    };
    std::vector<uint8_t> bytes = good_;
    uint64_t kind = below(8);
    if (kind < 3 || kind == 7) {  // a few flipped bytes
      for (uint64_t flips = 1 + below(4); flips > 0; --flips)
        bytes[offset(1)] ^= static_cast<uint8_t>(1 + below(255));
    }
    if (kind >= 3) {  // a u32 field, mostly aligned as the tables are, set to a boundary value
      uint64_t at = offset(4);
      if (next() % 4) at &= ~uint64_t{3};
      uint32_t value = kBoundaries[below(std::size(kBoundaries))];
      if (next() % 4 == 0) value = hl::le32(&bytes[at]) + (next() % 2 ? 1 : -1);
      hl::putLe32(&bytes[at], value);
    }
    if (kind == 6) bytes.resize(below(bytes.size()));  // a truncated copy of it
    return bytes;
  }

  // Only `expected` (and what is below it) may be in `folder`, and only plain files and folders.
  static void expectOnly(const fs::path& folder, const std::vector<std::string>& expected,
                         const std::string& what) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      std::string name = entry.path().filename().u8string();
      EXPECT_NE(std::find(expected.begin(), expected.end(), name), expected.end())
          << what << ": " << name << " was left beside the destination";
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
      EXPECT_TRUE(entry.is_regular_file() || entry.is_directory())
          << what << ": " << entry.path().u8string() << " is neither file nor folder";
  }

  static void expectClean(const hl::Status& status, const std::string& what) {
    if (!status.ok()) {
      EXPECT_FALSE(status.message().empty()) << what;
    }
  }

  void run(uint32_t index, const std::vector<uint8_t>& bytes) {
    const std::string what = std::string(GetParam().name) + " mutant " + std::to_string(index);
    const fs::path fence = scratch_ / "fence";
    fs::remove_all(fence);
    fs::create_directories(fence);
    writeFile(fence / "in.pkg", bytes);

    hl::Status status;
    std::unique_ptr<hl::Package> package = hl::Package::open(fence / "in.pkg", status);
    if (!package) {
      EXPECT_TRUE(status.code() == hl::ErrorCode::NotAPackage ||
                  status.code() == hl::ErrorCode::Unsupported ||
                  status.code() == hl::ErrorCode::Damaged)
          << what << ": " << status.message();
      return expectClean(status, what);
    }
    if (package->type() == hl::PackageType::Ncf) package->setContentRoot(scratch_ / "content");
    package->walk(hl::kRootItem, '/', [&](uint32_t item, const std::string& path) {
      EXPECT_EQ(package->path(item, '/'), path) << what;
      package->find(path);
    });
    hl::ExtractSummary summary;
    expectClean(hl::extractItem(*package, hl::kRootItem, fence / "out", nullptr, summary), what);
    for (uint32_t item = 0; item < package->itemCount(); ++item) {
      hl::ChunkReport report;
      if (package->isFile(item)) expectClean(package->validate(item, report), what);
    }
    package.reset();
    expectOnly(fence, {"in.pkg", "out"}, what);

    if (index % kDefragmentEvery) return;
    hl::DefragmentResult result{};
    status = hl::defragment(fence / "in.pkg", hl::DefragmentOptions{}, result);
    expectClean(status, what);
    if (status.ok()) {
      EXPECT_TRUE(openPackage(fence / "in.pkg")) << what;
    }
    expectOnly(fence, {"in.pkg", "out"}, what + " defragmented");
  }

  ScratchFolder scratch_;
  std::vector<uint8_t> good_;
  uint64_t metadataEnd_ = 0;
  uint64_t draws_ = 0;
};

TEST_P(Mutation, DamagedPackagesFailCleanlyAndWriteOnlyTheirDestination) {
  for (uint32_t i = 0; i < kMutantsPerShape && !HasFailure(); ++i) run(i, mutant());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Mutation,
    ::testing::Values(Shape{"gcf6", hl::PackageType::Gcf, 6, Placement::Scattered, 2},
                      Shape{"gcf5", hl::PackageType::Gcf, 5, Placement::Interleaved, 1},
                      Shape{"gcf3", hl::PackageType::Gcf, 3, Placement::Reversed, 0},
                      Shape{"ncf1", hl::PackageType::Ncf, 1, Placement::Sequential, 0}),
    [](const ::testing::TestParamInfo<Shape>& info) { return std::string(info.param.name); });

}  // namespace
