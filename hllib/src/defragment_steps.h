// The steps of a defragmentation after planning: writing the new package and checking it.
#pragma once

#include <functional>

#include "defragment.h"
#include "defragment_plan.h"
#include "file_io.h"

namespace hl {

// For tests: `defragment`, stopped as if the process were killed once `stopAfterBlocks` data
// blocks are copied (0: never), which leaves the copy behind.
Status defragmentStoppingAfter(const io::Path& package, const DefragmentOptions& options,
                               uint64_t stopAfterBlocks, DefragmentResult& result);

// Told of the work done, as DefragmentOptions::progress is; a failure it returns ends the step
// there with that failure.
using StepReport = std::function<Status(uint64_t done, uint64_t total)>;

// Writes the whole defragmented package to `out`, which must be empty: the metadata copied
// with the block entries and fragmentation map patched, the data blocks in their new order,
// zeros for the free blocks. `stopped` tells a stop asked for by `stopAfterBlocks`.
Status writeDefragmented(const PackageData& data, const DefragmentPlan& plan,
                         const StepReport& report, uint64_t stopAfterBlocks, io::File& out,
                         bool& stopped);

// Ok when `copy`, freshly opened, is laid out as `plan` says, every fragment's data blocks
// hold the same bytes as in `original`, and every file reads with the same size and state.
// Reports its progress through `report` after the copy's.
Status checkCopy(const Package& original, const DefragmentPlan& plan, const Package& copy,
                 const StepReport& report);

}  // namespace hl
