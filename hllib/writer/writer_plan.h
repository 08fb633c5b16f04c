// The writer's plan of a package: item numbering, the name table, and which data blocks hold
// which bytes of which file. Everything the metadata and the data area need is decided here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"
#include "writer.h"

namespace hl::write {

struct PlannedItem {
  const Node* node = nullptr;
  uint32_t parent = 0;      // layout::kNone32 for the root
  uint32_t next = 0;        // next sibling; 0 = none
  uint32_t firstChild = 0;  // 0 = none
  uint32_t childCount = 0;
  uint32_t nameOffset = 0;
  uint32_t checksumIndex = 0;  // folders: layout::kNone32
  uint32_t firstChecksum = 0;  // files: the index of the first chunk's checksum
  uint32_t checksumCount = 0;
  uint32_t firstFragment = 0;  // == Plan::blockCount when the item has no stored data
  uint32_t storedBytes = 0;
};

// One block entry: `size` bytes of a file from `fileOffset`, stored in the data blocks
// Plan::blocks[firstBlock .. firstBlock + blockCount).
struct Fragment {
  uint32_t item = 0;
  uint32_t fileOffset = 0;
  uint32_t size = 0;
  uint32_t firstBlock = 0;
  uint32_t blockCount = 0;
};

struct Plan {
  std::vector<PlannedItem> items;  // breadth first from the root, children in the order given
  std::string names;               // the name table
  uint32_t fileCount = 0;
  uint32_t checksumCount = 0;
  // GCF only. Block entry i describes fragments[i]; entries past the last fragment are unused.
  std::vector<Fragment> fragments;
  std::vector<uint32_t> blocks;  // the data block of each used block, fragment after fragment
  uint32_t blockCount = 0;       // data blocks, which is also the number of block entries
  uint32_t blockSize = 0;

  uint64_t dataAreaSize() const { return uint64_t{blockCount} * blockSize; }
};

// Checks the tree and the options and lays the package out, or says why it cannot be written.
Status makePlan(const Node& root, const Options& options, Plan& plan);

}  // namespace hl::write
