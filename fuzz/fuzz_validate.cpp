// Fuzzes validating every file of a package against its stored chunk checksums.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz_support::kMaxInput) return -1;
  auto package = fuzz_support::openPackage(data, size);
  if (!package) return 0;
  for (uint32_t item = 0; item < package->itemCount(); ++item) {
    if (!package->isFile(item)) continue;
    hl::ChunkReport report;
    package->validate(item, report);
  }
  return 0;
}
