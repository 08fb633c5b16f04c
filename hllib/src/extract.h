// Extracting items of a package into a folder of the file system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"
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
// One that throws ends the extraction with ErrorCode::Unexpected (Cancelled:
// ErrorCode::Cancelled); files written stay, a file not yet written is not written at all.
using ExtractObserver = std::function<void(const std::string& path, const Status& status)>;
// Told of the bytes done of the files' bytes each time they grow, also within a large file. A
// file counts as done once written, kept or failed.
using ExtractProgress = std::function<void(uint64_t done, uint64_t total)>;

// A folder that extractions write into, each into folders below it. The folders that one
// extraction opened stay open for the next, so the items of one folder open it once; like an
// extracted tree's levels, an open folder is written through its handle wherever it is moved.
class Destination {
 public:
  // Makes the folder `path` with its missing parents (see io::createFolder) and opens it.
  static std::unique_ptr<Destination> open(const std::filesystem::path& path, Status& status);
  // The folder that `below` names below this one (package names joined by '\\'; empty: this
  // one), each made as the folders of an extracted tree are: a safe name, never a link. Valid
  // until the next call.
  const io::Folder* folder(std::string_view below, Status& status);

 private:
  explicit Destination(std::unique_ptr<io::Folder> root);
  std::vector<std::unique_ptr<io::Folder>> chain_;  // the destination, then the folders open
  std::vector<std::string_view::size_type> ends_;   // where each folder's name ends in names_
  std::string names_;                               // of chain_[1...], joined by '\\'
};

// Writes `item` into `destination`, in the folders `below` names there: a file under its own
// name, a folder as a folder of its own name with its whole tree, the root's contents directly.
// Items that cannot be written are reported and skipped; the result is the first failure, or Ok
// when everything was written. Nothing is written outside the destination.
Status extractItem(const Package& package, uint32_t item, Destination& destination,
                   std::string_view below, const ExtractObserver& observer, ExtractSummary& summary,
                   ExistingFiles existing = ExistingFiles::Replace,
                   const ExtractProgress& progress = {});
// The same into the folder `destination` (made with its parents), below no other folder.
Status extractItem(const Package& package, uint32_t item, const std::filesystem::path& destination,
                   const ExtractObserver& observer, ExtractSummary& summary,
                   ExistingFiles existing = ExistingFiles::Replace,
                   const ExtractProgress& progress = {});

}  // namespace hl
