// Planning a defragmentation: the new place of every fragment, and whether anything moves.
#include "defragment_plan.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "file_plan.h"

namespace hl {
namespace {

namespace fm = layout::fragmentation_map_header;

Status damaged(const std::string& message) { return {ErrorCode::Damaged, message}; }

class Planner {
 public:
  Planner(const PackageData& data, DefragmentPlan& plan)
      : d_(data), plan_(plan), entrySeen_(data.blockEntryCount), blockSeen_(data.blockCount) {}

  Status addFile(uint32_t item) {
    // The entry checks (in use, owner, offsets, overlaps, cycles) are the reader's; the data
    // block chains are checked below, across files, so no block is moved twice.
    FilePlan file;
    Status status = planFile(d_, item, false, file);
    if (!status.ok()) return status;
    // File order: a chain whose fragments are linked out of offset order still comes out with
    // the file's bytes in consecutive blocks.
    std::vector<std::pair<uint32_t, uint32_t>> chain;  // file offset, block entry
    for (uint32_t index = d_.firstBlockEntry(item); index != d_.blockEntryCount;
         index = d_.blockEntry(index).next)
      chain.emplace_back(d_.blockEntry(index).fileDataOffset, index);
    std::sort(chain.begin(), chain.end());
    for (const auto& [offset, index] : chain)
      if (!(status = addFragment(index, d_.blockEntry(index))).ok()) return status;
    return {};
  }

  // An in-use entry outside every file's chain still owns stored bytes; they move with the rest.
  Status addUnreachedEntries() {
    for (uint32_t index = 0; index < d_.blockEntryCount; ++index) {
      if (entrySeen_[index]) continue;
      BlockEntry entry = d_.blockEntry(index);
      if (!(entry.flags & layout::block_entry::kFlagInUse)) continue;
      Status status = addFragment(index, entry);
      if (!status.ok()) return status;
    }
    return {};
  }

  // The free blocks at the end must hold the terminator and the map header must count them.
  void checkFreeBlocks() {
    for (uint32_t block = plan_.usedBlocks; block < d_.blockCount && plan_.alreadyInPlace; ++block)
      if (d_.nextDataBlock(block) != d_.terminator) plan_.alreadyInPlace = false;
    const uint8_t* header = d_.at(d_.sections.fragmentationMap - fm::kSize);
    if (le32(header + fm::kFirstUnusedEntry) != plan_.usedBlocks ||
        le32(header + fm::kChecksum) != fieldSum(header, fm::kFieldsBeforeChecksum))
      plan_.alreadyInPlace = false;
  }

 private:
  Status addFragment(uint32_t index, const BlockEntry& entry) {
    entrySeen_[index] = true;
    uint64_t blocks = (uint64_t{entry.fileDataSize} + d_.blockSize - 1) / d_.blockSize;
    if (blocks == 0) return {};  // no data block: its FirstDataBlockIndex means nothing
    std::string name = "block entry " + std::to_string(index);
    if (blocks > d_.blockCount - plan_.usedBlocks)
      return damaged("the block entries up to " + name + " need more than the package's " +
                     std::to_string(d_.blockCount) + " data blocks");
    uint32_t target = plan_.usedBlocks;
    uint32_t block = entry.firstDataBlock;
    for (uint32_t i = 0; i < blocks; ++i) {
      if (block >= d_.blockCount)
        return damaged(name + " links to data block " + std::to_string(block) +
                       ", past the last block " + std::to_string(d_.blockCount - 1));
      if (blockSeen_[block])
        return damaged(name + " uses data block " + std::to_string(block) + ", already used");
      blockSeen_[block] = true;
      uint32_t next = d_.nextDataBlock(block);
      bool last = i + 1 == blocks;
      if (block != target + i || next != (last ? d_.terminator : block + 1))
        plan_.alreadyInPlace = false;
      if (!last && (next == d_.terminator || next >= d_.blockCount))
        return damaged(name + ": its block chain ends after " + std::to_string(i + 1) + " of " +
                       std::to_string(blocks) + " blocks");
      block = next;
    }
    plan_.fragments.push_back({index, target, static_cast<uint32_t>(blocks)});
    plan_.usedBlocks += static_cast<uint32_t>(blocks);
    return {};
  }

  const PackageData& d_;
  DefragmentPlan& plan_;
  std::vector<bool> entrySeen_;
  std::vector<bool> blockSeen_;
};

}  // namespace

Status planDefragment(const Package& package, DefragmentPlan& plan) {
  const PackageData& data = package.data();
  plan = DefragmentPlan();
  Planner planner(data, plan);
  // Files in the order of their directory entries, which is how a laid-out package is written.
  Status status;
  for (uint32_t item = 0; item < data.itemCount && status.ok(); ++item)
    if (package.isFile(item)) status = planner.addFile(item);
  if (status.ok()) status = planner.addUnreachedEntries();
  if (!status.ok()) return status;
  planner.checkFreeBlocks();
  return {};
}

}  // namespace hl
