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

  // Which convention the free blocks follow, and whether they already lie at the end as a
  // rewrite would leave them. Runs after every fragment is added.
  void checkFreeBlocks() {
    const uint8_t* header = d_.at(d_.sections.fragmentationMap - fm::kSize);
    if (le32(header + fm::kChecksum) != fieldSum(header, fm::kFieldsBeforeChecksum))
      plan_.alreadyInPlace = false;
    if (plan_.usedBlocks == d_.blockCount) return;  // none free; the header stays as it is
    plan_.freeBlocks = findFreeConvention(le32(header + fm::kFirstUnusedEntry));
    if (le32(header + fm::kFirstUnusedEntry) != plan_.usedBlocks) plan_.alreadyInPlace = false;
    for (uint32_t block = plan_.usedBlocks; block < d_.blockCount && plan_.alreadyInPlace; ++block)
      if (d_.nextDataBlock(block) != freeBlockLink(plan_, d_.blockCount, d_.terminator, block))
        plan_.alreadyInPlace = false;
  }

 private:
  FreeBlocks findFreeConvention(uint32_t firstUnused) {
    bool terminators = true;
    for (uint32_t block = 0; block < d_.blockCount && terminators; ++block)
      if (!blockSeen_[block] && d_.nextDataBlock(block) != d_.terminator) terminators = false;
    if (terminators) return FreeBlocks::Terminators;
    // A chain reaches every free block once, and no used one, before the terminator.
    uint32_t reached = 0, block = firstUnused;
    for (; block < d_.blockCount && !blockSeen_[block]; block = d_.nextDataBlock(block)) {
      blockSeen_[block] = true;
      ++reached;
    }
    return block == d_.terminator && reached == d_.blockCount - plan_.usedBlocks
               ? FreeBlocks::Chain
               : FreeBlocks::Unknown;
  }

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

uint32_t freeBlockLink(const DefragmentPlan& plan, uint32_t blockCount, uint32_t terminator,
                       uint32_t block) {
  bool chained = plan.freeBlocks == FreeBlocks::Chain && block + 1 < blockCount;
  return chained ? block + 1 : terminator;
}

Status planDefragment(const Package& package, DefragmentPlan& plan) {
  const PackageData& data = loadedModelOf(package);
  plan = DefragmentPlan();
  Planner planner(data, plan);
  // The copy's tree is checked here, as the original's was before its plan.
  Status status = checkWholeTree(data);
  // Files in the order of their directory entries, which is how a laid-out package is written.
  for (uint32_t item = 0; item < data.itemCount && status.ok(); ++item)
    if (package.isFile(item)) status = planner.addFile(item);
  if (status.ok()) status = planner.addUnreachedEntries();
  if (!status.ok()) return status;
  planner.checkFreeBlocks();
  return {};
}

Status checkRewritable(const PackageData& data) {
  if (data.u32(layout::file_header::kUpdating) != 0)
    return {ErrorCode::Refused,
            "the package is marked as in use or being updated by its client (the header flag "
            "at 0x14); close it there first"};
  if (data.formatVersion != 6)
    return {ErrorCode::Refused, "GCF format version " + std::to_string(data.formatVersion) +
                                    " is read but never rewritten: how its block entry map "
                                    "follows the blocks is not known"};
  return {};
}

Status checkConventions(const PackageData& data, const DefragmentPlan& plan) {
  const uint8_t* header = data.at(data.sections.fragmentationMap - fm::kSize);
  if (le32(header + fm::kChecksum) != fieldSum(header, fm::kFieldsBeforeChecksum))
    return {ErrorCode::Refused,
            "the fragmentation map header's checksum is not the sum of its fields: a rewrite "
            "would store it in a way this package does not show"};
  if (plan.freeBlocks == FreeBlocks::Unknown)
    return {ErrorCode::Refused,
            "the free entries of the fragmentation map hold neither the terminator nor a "
            "chain of the free blocks: a rewrite would have to guess what they should hold"};
  return {};
}

}  // namespace hl
