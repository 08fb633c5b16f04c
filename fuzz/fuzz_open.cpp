// Fuzzes opening a package and listing it: every item's name, path, parent and file facts, the
// depth-first walk, and lookups by path.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz_support::kMaxInput) return -1;
  auto package = fuzz_support::openPackage(data, size);
  if (package) fuzz_support::listEverything(*package);
  return 0;
}
