// A caller's callback that throws, a standard exception or not, ends the library call with a
// failure: no exception escapes, no temporary file stays behind, the package is unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "defragment.h"
#include "extract.h"
#include "test_support.h"

namespace {

using namespace testing_support;

void expectUnexpected(const hl::Status& status) {
  EXPECT_EQ(status.code(), hl::ErrorCode::Unexpected) << status.message();
  EXPECT_NE(status.message().find("failed"), std::string::npos) << status.message();
}

TEST(CallGuard, ThrowingCallbacksEndTheCallCleanly) {
  ScratchFolder scratch;
  const fs::path path = makePackage(mixedTree(512), gcfLayout(hl::write::Placement::Reversed, 512),
                                    scratch / "game.gcf");
  const std::vector<uint8_t> before = readFile(path);
  // Typed bool, so that a read's sink can return one.
  bool (*const throwers[])() = {[]() -> bool { throw std::runtime_error("callback broke"); },
                                []() -> bool { throw 42; }};
  for (bool (*raise)() : throwers) {
    // Once while the copy is written, once while it is read back.
    for (uint64_t share : {0, 3}) {
      hl::DefragmentOptions defragment;
      defragment.progress = [&](uint64_t done, uint64_t total) {
        if (done * 4 >= total * share) raise();
      };
      hl::DefragmentResult result{};
      expectUnexpected(hl::defragment(path, defragment, result));
      EXPECT_TRUE(defragmentTemporaries(path).empty());
      EXPECT_TRUE(readFile(path) == before);
    }
    std::unique_ptr<hl::Package> package = openPackage(path);
    ASSERT_TRUE(package);
    hl::ExtractSummary summary;
    expectUnexpected(hl::extractItem(
        *package, hl::kRootItem, scratch / "out",
        [&](const std::string&, const hl::Status&) { raise(); }, summary));
    fs::recursive_directory_iterator written(scratch / "out");
    EXPECT_TRUE(std::none_of(begin(written), end(written), [](const fs::directory_entry& entry) {
      return entry.path().extension() == ".tmp";
    }));
    uint32_t file = 1;
    while (!package->isFile(file)) ++file;
    expectUnexpected(package->read(file, [&](const uint8_t*, size_t) { return raise(); }));
    expectUnexpected(
        package->walk(hl::kRootItem, '\\', [&](uint32_t, const std::string&) { raise(); }));
  }
}

}  // namespace
