// Defragmenting a GCF package: every file's data blocks made consecutive, in directory order,
// with the free blocks at the end. The package is replaced only by a complete, checked copy.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "status.h"

namespace hl {

struct DefragmentOptions {
  bool force = false;  // rewrite even a package that is already laid out as it would be
  // Told of the work done: each block in use counts twice, once copied and once read back.
  // One that throws ends the call with ErrorCode::Unexpected (Cancelled: ErrorCode::Cancelled).
  // The package stays as it was.
  std::function<void(uint64_t done, uint64_t total)> progress;
};

enum class DefragmentResult {
  Rewritten,            // the package was replaced by its defragmented copy
  AlreadyDefragmented,  // nothing to change: the package was left untouched
  NothingToDo,          // an NCF package holds no data blocks
  // Rewritten, but programs that hold the package open for writing could not be looked for
  // (a file system without leases, a package of another user): their writes go to the old one.
  RewrittenUnwatched,
};

// Rewrites `package` beside itself, in a temporary file named after it
// ("<name>.defrag-<random>.tmp"), and swaps the copy in once it reads back identically. On
// failure the original is left as it was and the copy removed. Refused (ErrorCode::Refused) without
// a byte written: a package marked as in use by its client, format versions other than 6, and
// anything whose conventions a rewrite would have to guess. ErrorCode::InUse: another run holds it,
// another program holds it open for writing, or opens it so before the copy is swapped in.
Status defragment(const std::filesystem::path& package, const DefragmentOptions& options,
                  DefragmentResult& result);

}  // namespace hl
