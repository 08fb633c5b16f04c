// Deterministic mutation testing: packages from our writer, damaged thousands of ways from a fixed
// seed (byte flips, u32 fields set to boundary values, truncations), go through open, listing,
// extraction, validation and, for some, defragmentation. Whatever the damage, each call must end
// in a clean Status and nothing may be written outside the scratch folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "byte_order.h"
#include "defragment.h"
#include "extract.h"
#include "package_image.h"
#include "split_mix.h"
#include "test_support.h"

namespace {

using namespace testing_support;

#if defined(_WIN32)
// Under Wine each file operation costs several times what it does natively.
constexpr uint32_t kMutantsPerShape = 90;
#else
constexpr uint32_t kMutantsPerShape = 360;
#endif
constexpr uint32_t kDefragmentEvery = 16;

std::vector<Shape> shapes() { return formatShapes(smallTree(128), 128); }

class Mutation : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override {
    Shape shape = shapes().at(GetParam());
    name_ = shape.name;
    if (shape.options.type == hl::PackageType::Ncf)
      shape.options.ncfContentRoot = scratch_ / "content";
    shape.options.freeBlocks = 3;
    good_ = readFile(makePackage(shape.tree, shape.options, scratch_ / "good.pkg"));
    // Where the data area starts (the whole file for an NCF): most mutations land before it,
    // where the structure is.
    metadataEnd_ = package_image::decode(scratch_ / "good.pkg").metadataEnd;
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

  // Only the package and the destination may be in the fence, and only plain files and folders.
  static void expectFenced(const fs::path& fence, const std::string& what) {
    for (const std::string& name : namesIn(fence))
      EXPECT_TRUE(name == "in.pkg" || name == "out") << what << ": " << name << " was left";
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(fence))
      EXPECT_TRUE(entry.is_regular_file() || entry.is_directory())
          << what << ": " << entry.path().u8string() << " is neither file nor folder";
  }

  static void expectClean(const hl::Status& status, const std::string& what) {
    EXPECT_TRUE(status.ok() || !status.message().empty()) << what;
  }

  void run(uint32_t index, const std::vector<uint8_t>& bytes) {
    const std::string what = name_ + " mutant " + std::to_string(index);
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
      itemAt(*package, path);
    });
    hl::ExtractSummary summary;
    expectClean(hl::extractItem(*package, hl::kRootItem, fence / "out", nullptr, summary), what);
    for (uint32_t item = 0; item < package->itemCount(); ++item) {
      hl::ChunkReport report;
      if (package->isFile(item)) expectClean(package->validate(item, report), what);
    }
    package.reset();
    expectFenced(fence, what);

    if (index % kDefragmentEvery) return;
    hl::DefragmentResult result{};
    status = hl::defragment(fence / "in.pkg", hl::DefragmentOptions{}, result);
    expectClean(status, what);
    if (status.ok()) {
      EXPECT_TRUE(openPackage(fence / "in.pkg")) << what;
    }
    expectFenced(fence, what + " defragmented");
  }

  ScratchFolder scratch_;
  std::string name_;
  std::vector<uint8_t> good_;
  uint64_t metadataEnd_ = 0;
  uint64_t draws_ = 0;
};

TEST_P(Mutation, DamagedPackagesFailCleanlyAndWriteOnlyTheirDestination) {
  for (uint32_t i = 0; i < kMutantsPerShape && !HasFailure(); ++i) run(i, mutant());
}

INSTANTIATE_TEST_SUITE_P(Shapes, Mutation, ::testing::Range<size_t>(0, shapes().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name = shapes().at(info.param).name;
                           name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                           return name;
                         });

}  // namespace
