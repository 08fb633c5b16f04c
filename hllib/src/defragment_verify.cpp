// Reading a defragmented copy back against the original before it may replace it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "defragment_steps.h"
#include "file_plan.h"

namespace hl {
namespace {

constexpr uint64_t kBufferBytes = 1u << 20;

Status differs(const std::string& what) {
  return {ErrorCode::WriteFailed, "the defragmented copy does not read back: " + what};
}

// The copy's used data blocks in order. Its fragments lie one after another from block 0, so
// they are read in long pieces whatever the old layout was.
class CopyStream {
 public:
  CopyStream(const PackageData& copy, uint32_t usedBlocks, uint64_t bufferBytes, uint8_t* buffer)
      : copy_(copy),
        position_(copy.blockOffset(0)),
        remaining_(uint64_t{usedBlocks} * copy.blockSize),
        capacity_(bufferBytes),
        buffer_(buffer) {}

  // Points `bytes` at the next `size` bytes; `size` is at most the buffer's.
  Status next(uint64_t size, const uint8_t*& bytes) {
    if (end_ - start_ < size) {
      std::memmove(buffer_, buffer_ + start_, static_cast<size_t>(end_ - start_));
      end_ -= start_;
      start_ = 0;
      uint64_t take = std::min(capacity_ - end_, remaining_);
      Status status = copy_.file->readAt(position_, buffer_ + end_, static_cast<size_t>(take));
      if (!status.ok()) return status;
      position_ += take;
      remaining_ -= take;
      end_ += take;
      if (end_ < size) return differs("its data area ends early");
    }
    bytes = buffer_ + start_;
    start_ += size;
    return {};
  }

 private:
  const PackageData& copy_;
  uint64_t position_, remaining_, capacity_;
  uint8_t* buffer_;
  uint64_t start_ = 0, end_ = 0;
};

// Compares a fragment's old blocks, read run by run along the old chain, with the copy's next
// blocks. `oldBytes` holds `bufferBytes`, at least one block.
Status compareFragment(const PackageData& old, const PlannedFragment& fragment,
                       uint64_t bufferBytes, uint8_t* oldBytes, CopyStream& copy) {
  uint64_t blockSize = old.blockSize;
  uint32_t block = old.blockEntry(fragment.entry).firstDataBlock;
  for (uint32_t i = 0; i < fragment.blocks;) {
    // Old blocks that lie one after another are read at once; `after` follows the run.
    uint32_t run = 1;
    uint32_t after = i + 1 < fragment.blocks ? old.nextDataBlock(block) : 0;
    while (i + run < fragment.blocks && after == block + run &&
           (run + 1) * blockSize <= bufferBytes) {
      ++run;
      after = i + run < fragment.blocks ? old.nextDataBlock(block + run - 1) : 0;
    }
    size_t size = static_cast<size_t>(run * blockSize);
    const uint8_t* copied = nullptr;
    Status status = old.file->readAt(old.blockOffset(block), oldBytes, size);
    if (status.ok()) status = copy.next(size, copied);
    if (!status.ok()) return status;
    if (std::memcmp(oldBytes, copied, size) != 0)
      return differs("the data of block entry " + std::to_string(fragment.entry) + " changed");
    i += run;
    block = after;
  }
  return {};
}

}  // namespace

Status checkCopy(const Package& original, const DefragmentPlan& plan, const Package& copy,
                 const StepReport& report) {
  DefragmentPlan copyPlan;
  Status status = planDefragment(copy, copyPlan);
  if (!status.ok()) return differs(status.message());
  if (!copyPlan.alreadyInPlace || copyPlan.usedBlocks != plan.usedBlocks ||
      copyPlan.fragments.size() != plan.fragments.size())
    return differs("its data blocks are not laid out as planned");

  const PackageData& old = loadedModelOf(original);
  const PackageData& fresh = loadedModelOf(copy);
  // At least one block, read whole; a block in use lies inside the file, so the file bounds it.
  uint64_t bufferBytes = std::max<uint64_t>(kBufferBytes, plan.usedBlocks ? old.blockSize : 0);
  std::unique_ptr<uint8_t[]> oldBytes(new (std::nothrow) uint8_t[static_cast<size_t>(bufferBytes)]);
  std::unique_ptr<uint8_t[]> copyBytes(new (std::nothrow)
                                           uint8_t[static_cast<size_t>(bufferBytes)]);
  if (!oldBytes || !copyBytes)
    return {ErrorCode::WriteFailed, "not enough memory to check the copy"};
  CopyStream stream(fresh, plan.usedBlocks, bufferBytes, copyBytes.get());
  const uint64_t kReportEvery = std::max<uint64_t>(1, (4u << 20) / old.blockSize);
  uint64_t checked = 0, reported = 0;
  for (size_t i = 0; i < plan.fragments.size(); ++i) {
    const PlannedFragment& fragment = plan.fragments[i];
    const PlannedFragment& copied = copyPlan.fragments[i];
    if (copied.entry != fragment.entry || copied.firstBlock != fragment.firstBlock ||
        copied.blocks != fragment.blocks)
      return differs("block entry " + std::to_string(fragment.entry) +
                     " is not where it was planned");
    status = compareFragment(old, fragment, bufferBytes, oldBytes.get(), stream);
    if (!status.ok()) return status;
    checked += fragment.blocks;
    if (checked >= reported + kReportEvery || i + 1 == plan.fragments.size()) {
      reported = checked;
      status = report(uint64_t{plan.usedBlocks} + checked, uint64_t{plan.usedBlocks} * 2);
      if (!status.ok()) return status;
    }
  }

  // The reader must see every file as before: same size, bytes stored and state.
  walkItems(old, kRootItem, '\\', [&](uint32_t item, const std::string& path) {
    if (!status.ok() || !original.isFile(item)) return;
    FilePlan before, after;
    status = planFile(old, item, false, before);
    if (status.ok()) status = planFile(fresh, item, true, after);
    if (!status.ok()) {
      status = differs(path + ": " + status.message());
    } else if (before.info.size != after.info.size ||
               before.info.storedBytes != after.info.storedBytes ||
               before.info.encrypted != after.info.encrypted) {
      status = differs(path + " is stored differently");
    }
  });
  return status;
}

}  // namespace hl
