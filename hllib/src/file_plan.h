// Where a file's bytes lie: its fragments resolved through the block entries and the
// fragmentation map into runs of contiguous bytes, checked before anything is read.
#pragma once

#include <memory>
#include <vector>

#include "package_data.h"

namespace hl {

struct ByteRun {
  uint64_t fileOffset;    // where the bytes belong in the file
  uint64_t sourceOffset;  // where they lie in the source file
  uint64_t size;
};

struct FilePlan {
  FileInfo info;
  const io::File* source = nullptr;    // the package, or an NCF's file on disk
  std::unique_ptr<io::File> diskFile;  // owns the NCF's file
  std::vector<ByteRun> runs;           // in file order
  uint32_t blocks = 0;                 // a GCF's data blocks, counted when runs are resolved
};

// Fills `plan` for a file item. With `resolveRuns` false only `info` is worked out (the data
// blocks of a GCF are not followed).
Status planFile(const PackageData& data, uint32_t item, bool resolveRuns, FilePlan& plan);
// Ok when the plan's file can be read in full: present, complete and not encrypted.
Status readable(const PackageData& data, uint32_t item, const FilePlan& plan);
// Streams the planned bytes in file order.
Status readPlanned(const FilePlan& plan, const ByteSink& sink);

}  // namespace hl
