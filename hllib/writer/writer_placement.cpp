// Assigns data blocks to the fragments' blocks for each Placement, deterministically.
#include "writer_placement.h"

#include <numeric>
#include <utility>
#include <vector>

#include "split_mix.h"

namespace hl::write {
namespace {

// A file's used blocks: plan.blocks[first .. first + count), in file order.
struct Span {
  uint32_t first;
  uint32_t count;
};

std::vector<Span> fileSpans(const Plan& plan) {
  std::vector<Span> spans;
  for (size_t f = 0; f < plan.fragments.size(); ++f) {
    const Fragment& fragment = plan.fragments[f];
    if (f > 0 && plan.fragments[f - 1].item == fragment.item) {
      spans.back().count += fragment.blockCount;
    } else {
      spans.push_back({fragment.firstBlock, fragment.blockCount});
    }
  }
  return spans;
}

// The data blocks that hold data, ascending: `used` of the `slots` blocks after the leading
// free ones, with the free ones evenly spaced among them when `spread`, else all at the end.
std::vector<uint32_t> usedPositions(uint32_t leading, uint32_t used, uint32_t slots, bool spread) {
  std::vector<uint32_t> positions;
  positions.reserve(used);
  const uint64_t free = slots - used;
  uint64_t nextFree = 0;  // which free block comes next
  for (uint64_t slot = 0; slot < slots; ++slot) {
    // Free block j sits at slot floor((j + 1) * slots / (free + 1)): evenly spaced, distinct.
    if (spread && nextFree < free && slot == (nextFree + 1) * slots / (free + 1)) {
      ++nextFree;
      continue;
    }
    if (positions.size() == used) break;
    positions.push_back(leading + static_cast<uint32_t>(slot));
  }
  return positions;
}

void scatter(const Options& options, uint32_t slots, Plan& plan) {
  std::vector<uint32_t> order(slots);
  std::iota(order.begin(), order.end(), options.leadingFreeBlocks);
  // Fisher-Yates; the modulo's bias is irrelevant for test layouts.
  for (uint32_t i = slots; i > 1; --i) {
    std::swap(order[i - 1], order[splitMix64(options.seed, i) % i]);
  }
  for (size_t k = 0; k < plan.blocks.size(); ++k) plan.blocks[k] = order[k];
}

void reverse(const std::vector<uint32_t>& positions, Plan& plan) {
  for (const Span& span : fileSpans(plan)) {
    for (uint32_t i = 0; i < span.count; ++i)
      plan.blocks[span.first + i] = positions[span.first + span.count - 1 - i];
  }
}

void interleave(const std::vector<uint32_t>& positions, Plan& plan) {
  std::vector<Span> active = fileSpans(plan);
  size_t next = 0;
  for (uint32_t round = 0; !active.empty(); ++round) {
    size_t kept = 0;
    for (const Span& span : active) {
      plan.blocks[span.first + round] = positions[next++];
      if (round + 1 < span.count) active[kept++] = span;
    }
    active.resize(kept);
  }
}

}  // namespace

void placeBlocks(const Options& options, Plan& plan) {
  uint32_t used = 0;
  for (const Fragment& fragment : plan.fragments) used += fragment.blockCount;
  plan.blocks.assign(used, 0);
  const uint32_t leading = options.leadingFreeBlocks;
  const uint32_t slots = plan.blockCount - leading;
  switch (options.placement) {
    case Placement::Sequential:
      plan.blocks = usedPositions(leading, used, slots, false);
      break;
    case Placement::Scattered:
      scatter(options, slots, plan);
      break;
    case Placement::Reversed:
      reverse(usedPositions(leading, used, slots, true), plan);
      break;
    case Placement::Interleaved:
      interleave(usedPositions(leading, used, slots, true), plan);
      break;
  }
}

}  // namespace hl::write
