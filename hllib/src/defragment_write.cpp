// Writing a defragmented package: patched metadata, then the data blocks in their new order.
#include <algorithm>
#include <memory>
#include <string>

#include "defragment_steps.h"

namespace hl {
namespace {

namespace be = layout::block_entry;
namespace fm = layout::fragmentation_map_header;

constexpr uint64_t kBufferBytes = 4u << 20;       // bounds memory whatever the package's size
constexpr uint64_t kDirectCopyBytes = 64u << 10;  // runs this long skip the buffer
constexpr uint32_t kKeep = 0xFFFFFFFFu;

// The block entry table, each moved entry pointing at its fragment's new first block.
Status writeBlockEntries(const PackageData& d, const DefragmentPlan& plan, io::File& out) {
  std::vector<uint32_t> firstBlock(d.blockEntryCount, kKeep);
  for (const PlannedFragment& fragment : plan.fragments)
    firstBlock[fragment.entry] = fragment.firstBlock;
  constexpr uint32_t kChunk = 4096;
  std::vector<uint8_t> buffer(size_t{kChunk} * be::kSize);
  for (uint32_t start = 0; start < d.blockEntryCount; start += kChunk) {
    uint32_t count = std::min(kChunk, d.blockEntryCount - start);
    uint64_t offset = d.sections.blockEntries + uint64_t{start} * be::kSize;
    std::copy_n(d.at(offset), size_t{count} * be::kSize, buffer.begin());
    for (uint32_t i = 0; i < count; ++i)
      if (firstBlock[start + i] != kKeep)
        putLe32(&buffer[size_t{i} * be::kSize + be::kFirstDataBlockIndex], firstBlock[start + i]);
    Status status = out.writeAt(offset, buffer.data(), size_t{count} * be::kSize);
    if (!status.ok()) return status;
  }
  return {};
}

// The map header and a map where each fragment's blocks link to the next one and its last
// block holds the terminator; the free blocks keep the package's convention. With no block
// free, the header's first unused entry stays whatever the package held.
Status writeFragmentationMap(const PackageData& d, const DefragmentPlan& plan, io::File& out) {
  uint64_t headerOffset = d.sections.fragmentationMap - fm::kSize;
  uint8_t header[fm::kSize];
  std::copy_n(d.at(headerOffset), fm::kSize, header);
  if (plan.usedBlocks < d.blockCount) {
    putLe32(header + fm::kFirstUnusedEntry, plan.usedBlocks);
    putLe32(header + fm::kChecksum, fieldSum(header, fm::kFieldsBeforeChecksum));
  }
  Status status = out.writeAt(headerOffset, header, fm::kSize);

  constexpr size_t kChunk = 16384;
  std::vector<uint8_t> buffer(kChunk * fm::kEntrySize);
  size_t filled = 0;
  uint64_t offset = d.sections.fragmentationMap;
  auto emit = [&](uint32_t next) {
    if (!status.ok()) return;
    putLe32(&buffer[filled++ * fm::kEntrySize], next);
    if (filled < kChunk) return;
    status = out.writeAt(offset, buffer.data(), filled * fm::kEntrySize);
    offset += filled * fm::kEntrySize;
    filled = 0;
  };
  for (const PlannedFragment& fragment : plan.fragments)
    for (uint32_t i = 1; i <= fragment.blocks; ++i)
      emit(i < fragment.blocks ? fragment.firstBlock + i : d.terminator);
  for (uint32_t block = plan.usedBlocks; block < d.blockCount; ++block)
    emit(freeBlockLink(plan, d.blockCount, d.terminator, block));
  if (status.ok() && filled) status = out.writeAt(offset, buffer.data(), filled * fm::kEntrySize);
  return status;
}

// Gathers whole old blocks into one buffer and writes it where the next new blocks go: reads
// are as long as the old layout allows, writes always long.
class BlockCopier {
 public:
  BlockCopier(const PackageData& d, const StepReport& report, uint64_t stopAfterBlocks,
              uint32_t total, io::File& out)
      : d_(d), report_(report), stopAfter_(stopAfterBlocks), total_(total), out_(out) {
    capacity_ = static_cast<uint32_t>(std::max<uint64_t>(1, kBufferBytes / d.blockSize));
  }

  bool stopped() const { return stopped_; }

  // Copies `count` old blocks that lie one after another from `first`.
  Status copyRun(uint32_t first, uint32_t count) {
    if (uint64_t{count} * d_.blockSize >= kDirectCopyBytes) return copyDirectly(first, count);
    // Made on first use: only blocks under kDirectCopyBytes pass through it, so it stays within
    // kBufferBytes whatever block size a header claims.
    if (!buffer_) buffer_.reset(new (std::nothrow) uint8_t[size_t{capacity_} * d_.blockSize]);
    if (!buffer_) return {ErrorCode::WriteFailed, "not enough memory for a copy buffer"};
    while (count > 0) {
      uint32_t take = std::min(count, room());
      Status status =
          d_.file->readAt(d_.blockOffset(first), buffer_.get() + size_t{filled_} * d_.blockSize,
                          size_t{take} * d_.blockSize);
      if (!status.ok()) return status;
      filled_ += take;
      first += take;
      count -= take;
      if (room() == 0 && !(status = flush()).ok()) return status;
    }
    return {};
  }

  // A long run goes straight from file to file, in the kernel where the platform can: far
  // cheaper than passing it through the buffer.
  Status copyDirectly(uint32_t first, uint32_t count) {
    Status status = flush();
    while (status.ok() && count > 0) {
      uint32_t take = std::min(count, room());
      status = out_.copyFrom(*d_.file, d_.blockOffset(first), d_.blockOffset(done_),
                             uint64_t{take} * d_.blockSize);
      if (status.ok()) status = advance(take);
      first += take;
      count -= take;
    }
    return status;
  }

  Status flush() {
    if (filled_ == 0) return {};
    Status status =
        out_.writeAt(d_.blockOffset(done_), buffer_.get(), size_t{filled_} * d_.blockSize);
    if (!status.ok()) return status;
    uint32_t written = filled_;
    filled_ = 0;
    return advance(written);
  }

 private:
  Status advance(uint32_t blocks) {
    done_ += blocks;
    Status status = report_(done_, uint64_t{total_} * 2);
    if (!status.ok()) return status;
    if (stopAfter_ && done_ >= stopAfter_) {
      stopped_ = true;
      return {ErrorCode::WriteFailed,
              "stopped after " + std::to_string(done_) + " data blocks, as asked"};
    }
    return {};
  }

  uint32_t room() const {
    uint32_t room = capacity_ - filled_;
    if (stopAfter_)  // flush exactly at the stop, as a kill there would leave it
      room = static_cast<uint32_t>(std::min<uint64_t>(room, stopAfter_ - done_ - filled_));
    return room;
  }

  const PackageData& d_;
  const StepReport& report_;
  uint64_t stopAfter_;
  uint32_t total_;
  io::File& out_;
  uint32_t capacity_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t filled_ = 0;
  uint32_t done_ = 0;
  bool stopped_ = false;
};

// Whole blocks are copied, so the bytes after a fragment's end in its last block survive too.
Status writeDataBlocks(const PackageData& d, const DefragmentPlan& plan, const StepReport& report,
                       uint64_t stopAfterBlocks, io::File& out, bool& stopped) {
  BlockCopier copier(d, report, stopAfterBlocks, plan.usedBlocks, out);
  Status status;
  for (const PlannedFragment& fragment : plan.fragments) {
    uint32_t runStart = d.blockEntry(fragment.entry).firstDataBlock, runLength = 1;
    uint32_t block = runStart;
    for (uint32_t i = 1; i < fragment.blocks && status.ok(); ++i) {
      block = d.nextDataBlock(block);
      if (block == runStart + runLength) {
        ++runLength;
        continue;
      }
      status = copier.copyRun(runStart, runLength);
      runStart = block;
      runLength = 1;
    }
    if (status.ok()) status = copier.copyRun(runStart, runLength);
    if (!status.ok()) break;
  }
  if (status.ok()) status = copier.flush();
  stopped = copier.stopped();
  return status;
}

}  // namespace

Status writeDefragmented(const PackageData& d, const DefragmentPlan& plan, const StepReport& report,
                         uint64_t stopAfterBlocks, io::File& out, bool& stopped) {
  stopped = false;
  uint64_t mapEnd = d.sections.fragmentationMap + uint64_t{d.blockCount} * fm::kEntrySize;
  uint64_t dataEnd = d.blockOffset(d.blockCount);
  Status status = out.copyFrom(*d.file, 0, 0, d.sections.blockEntries);
  if (status.ok()) status = writeBlockEntries(d, plan, out);
  if (status.ok()) status = writeFragmentationMap(d, plan, out);
  if (status.ok()) status = out.copyFrom(*d.file, mapEnd, mapEnd, d.firstBlockOffset - mapEnd);
  if (status.ok()) status = writeDataBlocks(d, plan, report, stopAfterBlocks, out, stopped);
  // The free blocks read as zeros once the file reaches its full size; anything the original
  // kept past its data area is carried over.
  if (status.ok()) status = out.setSize(dataEnd);
  if (status.ok() && d.file->size() > dataEnd)
    status = out.copyFrom(*d.file, dataEnd, dataEnd, d.file->size() - dataEnd);
  return status;
}

}  // namespace hl
