// Fuzzes extracting a whole package into a scratch folder, which must end up holding nothing
// but plain files and folders; nothing may appear beside it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "extract.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz_support::kMaxInput) return -1;
  // The destination lies one level down, so anything written beside it shows up in `fence`.
  const fs::path fence = fuzz_support::scratch() / "fence";
  const fs::path out = fence / "out";
  fuzz_support::resetFolder(fence);
  auto package = fuzz_support::openPackage(data, size);
  if (!package) return 0;
  hl::ExtractSummary summary;
  hl::extractItem(*package, hl::kRootItem, out, nullptr, summary);
  for (const fs::directory_entry& entry : fs::directory_iterator(fence)) {
    if (entry.path() != out) {
      std::fprintf(stderr, "extraction wrote %s outside its destination\n", entry.path().c_str());
      std::abort();
    }
  }
  fuzz_support::checkOnlyPlainEntries(out);
  return 0;
}
