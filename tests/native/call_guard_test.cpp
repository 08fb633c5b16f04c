// A caller's callback that throws, a standard exception or not, ends the library call with a
// failure: no exception escapes; a defragmentation leaves no copy behind and the package
// unchanged. (Cancelling, which unwinds the same way, is tested through the C interface.)
#include <gtest/gtest.h>

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
    uint32_t file = 1;
    while (!package->isFile(file)) ++file;
    expectUnexpected(package->read(file, [&](const uint8_t*, size_t) { return raise(); }));
    expectUnexpected(
        package->walk(hl::kRootItem, '\\', [&](uint32_t, const std::string&) { raise(); }));
  }
}

}  // namespace
