// The defragmented layout of a package: which block entry's data goes where, in what order.
#pragma once

#include <cstdint>
#include <vector>

#include "hllib/package.h"
#include "package_data.h"

namespace hl {

// One fragment (block entry) with data, in its new place: fragments follow each other from
// data block 0 without gaps, so a fragment's first new block is the sum of those before it.
struct PlannedFragment {
  uint32_t entry;       // block entry index
  uint32_t firstBlock;  // its first data block now
  uint32_t blocks;      // how many data blocks it fills
};

struct DefragmentPlan {
  std::vector<PlannedFragment> fragments;  // in their new order
  uint32_t usedBlocks = 0;
  bool alreadyInPlace = true;  // the package already has exactly this layout
};

// Orders the files' fragments in directory entry order, each file's by offset in the file,
// then any in-use block entry that no file reaches (so no stored byte is lost). Refuses a
// package whose files' chains are damaged or whose data blocks are shared.
Status planDefragment(const Package& package, DefragmentPlan& plan);

}  // namespace hl
