// Extracting items of a package into a folder of the file system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "package.h"
#include "status.h"

namespace hl {

struct ExtractSummary {
  uint32_t filesWritten = 0;
  uint32_t failures = 0;
  uint64_t bytesWritten = 0;
  uint32_t skipped = 0;  // files kept as they were (ExistingFiles::Keep)
};

// What happens to a file that already stands where an extracted file goes.
enum class ExistingFiles {
  Replace,  // replaced once the new copy is complete
  Keep,     // left as it is; reported with ErrorCode::Exists, which is not a failure
};

// Told of every file written or item that failed, with its path below the extracted item.
// One that throws ends the extraction with ErrorCode::Unexpected; files written stay.
using ExtractObserver = std::function<void(const std::string& path, const Status& status)>;

// Writes `item` into the folder `destination` (made with its parents, see io::createFolder):
// a file under its own name, a folder as a folder of its own name with its whole tree, the
// root's contents directly. Items that cannot be written are reported and skipped; the result is
// the first failure, or Ok when everything was written. Nothing is written outside `destination`.
Status extractItem(const Package& package, uint32_t item, const std::filesystem::path& destination,
                   const ExtractObserver& observer, ExtractSummary& summary,
                   ExistingFiles existing = ExistingFiles::Replace);

}  // namespace hl
