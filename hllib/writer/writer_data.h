// Streams the stored bytes of a package's files into its data blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "file_io.h"
#include "status.h"
#include "writer_plan.h"

namespace hl::write {

// The most the writer holds of files' bytes at a time.
constexpr size_t kWriteBufferBytes = size_t{4} << 20;

// Writes every used data block of `plan` (its fragment's bytes, zero-padded to the block's
// end) into `file`, whose data area starts at `firstBlockOffset`. Free blocks are not written.
Status writeDataBlocks(const Plan& plan, uint64_t firstBlockOffset, io::File& file);

}  // namespace hl::write
