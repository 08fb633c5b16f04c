// Where a package's used blocks go in its data area, for each writer Placement.
#pragma once

#include "writer.h"
#include "writer_plan.h"

namespace hl::write {

// Fills plan.blocks from plan.fragments and plan.blockCount: the data block of each used
// block, with options.leadingFreeBlocks free blocks first and options.freeBlocks among or
// after the used ones.
void placeBlocks(const Options& options, Plan& plan);

}  // namespace hl::write
