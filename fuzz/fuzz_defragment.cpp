// Fuzzes defragmenting a package in a scratch folder, then opening the result and reading every
// file of it: whatever defragmenting accepted must open again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "defragment.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz_support::kMaxInput) return -1;
  // A folder of its own, so the copy that defragmenting writes beside the package goes with it.
  fuzz_support::resetFolder(fuzz_support::scratch() / "defrag");
  const fs::path path = fuzz_support::writeInput(data, size, "defrag/in.gcf");
  hl::DefragmentResult result{};
  if (!hl::defragment(path, hl::DefragmentOptions{}, result).ok()) return 0;
  auto package = fuzz_support::openPackage(path);
  if (!package) {
    std::fprintf(stderr, "the package does not open after a successful defragmentation\n");
    std::abort();
  }
  for (uint32_t item = 0; item < package->itemCount(); ++item) {
    if (package->isFile(item)) package->read(item, [](const uint8_t*, size_t) { return true; });
  }
  return 0;
}
