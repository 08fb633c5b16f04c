// The defragmented layout of a package: which block entry's data goes where, in what order.
#pragma once

#include <cstdint>
#include <vector>

#include "package.h"
#include "package_data.h"

namespace hl {

// One fragment (block entry) with data, in its new place: fragments follow each other from
// data block 0 without gaps, so a fragment's first new block is the sum of those before it.
struct PlannedFragment {
  uint32_t entry;       // block entry index
  uint32_t firstBlock;  // its first data block now
  uint32_t blocks;      // how many data blocks it fills
};

// What the package's free fragmentation map entries hold; a rewrite keeps to the same.
enum class FreeBlocks {
  None,         // no block is free
  Terminators,  // each holds the terminator
  Chain,        // linked from the header's first unused entry through every free block
  Unknown,      // neither: a rewrite would have to guess
};

struct DefragmentPlan {
  std::vector<PlannedFragment> fragments;  // in their new order
  uint32_t usedBlocks = 0;
  FreeBlocks freeBlocks = FreeBlocks::None;
  bool alreadyInPlace = true;  // the package already has exactly this layout
};

// Orders the files' fragments in directory entry order, each file's by offset in the file,
// then any in-use block entry that no file reaches (so no stored byte is lost). Refuses a
// package whose files' chains are damaged or whose data blocks are shared.
Status planDefragment(const Package& package, DefragmentPlan& plan);

// What the fragmentation map entry of the free `block` holds once the package is laid out as
// `plan` says, keeping the package's convention.
uint32_t freeBlockLink(const DefragmentPlan& plan, uint32_t blockCount, uint32_t terminator,
                       uint32_t block);

// Refuses (ErrorCode::Refused) a package whose client marks it as in use or being updated,
// and format versions whose block entry map a rewrite would have to keep right.
Status checkRewritable(const PackageData& data);
// Refuses a package whose fragmentation map header checksum is not the sum our rewrite
// stores, or whose free map entries show no convention we know.
Status checkConventions(const PackageData& data, const DefragmentPlan& plan);

}  // namespace hl
