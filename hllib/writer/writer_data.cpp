// Fills the used data blocks in ascending block order, so that a run of consecutive blocks goes
// out in one write whichever files they belong to, and free blocks stay holes in the file.
#include "writer_data.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace hl::write {
namespace {

struct BlockRef {
  uint32_t block;     // data block index
  uint32_t fragment;  // the fragment it holds part of
  uint32_t index;     // its position in that fragment
};

std::vector<BlockRef> blocksInDiskOrder(const Plan& plan) {
  std::vector<BlockRef> refs;
  refs.reserve(plan.blocks.size());
  for (uint32_t f = 0; f < plan.fragments.size(); ++f) {
    const Fragment& fragment = plan.fragments[f];
    for (uint32_t i = 0; i < fragment.blockCount; ++i)
      refs.push_back({plan.blocks[fragment.firstBlock + i], f, i});
  }
  std::sort(refs.begin(), refs.end(),
            [](const BlockRef& a, const BlockRef& b) { return a.block < b.block; });
  return refs;
}

}  // namespace

Status writeDataBlocks(const Plan& plan, uint64_t firstBlockOffset, io::File& file) {
  const std::vector<BlockRef> refs = blocksInDiskOrder(plan);
  const size_t blockSize = plan.blockSize;
  const size_t capacity = std::min(std::max<size_t>(1, kWriteBufferBytes / blockSize), refs.size());
  std::vector<uint8_t> buffer(capacity * blockSize);

  uint32_t runStart = 0;
  size_t runLength = 0;
  auto flush = [&]() {
    Status status = file.writeAt(firstBlockOffset + uint64_t{runStart} * blockSize, buffer.data(),
                                 runLength * blockSize);
    runLength = 0;
    return status;
  };
  for (const BlockRef& ref : refs) {
    if (runLength > 0 && (ref.block != runStart + runLength || runLength == capacity)) {
      Status status = flush();
      if (!status.ok()) return status;
    }
    if (runLength == 0) runStart = ref.block;
    const Fragment& fragment = plan.fragments[ref.fragment];
    const size_t offset = size_t{ref.index} * blockSize;
    const size_t count = std::min(blockSize, fragment.size - offset);
    uint8_t* out = buffer.data() + runLength * blockSize;
    plan.items[fragment.item].node->content.fill(fragment.fileOffset + offset, out, count);
    std::memset(out + count, 0, blockSize - count);
    ++runLength;
  }
  return runLength > 0 ? flush() : Status();
}

}  // namespace hl::write
