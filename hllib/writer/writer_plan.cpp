// Lays out a package to be written: numbers the items breadth first, builds the name table,
// cuts each file's stored bytes into fragments and has them placed in data blocks.
#include "writer_plan.h"

#include <algorithm>
#include <string>

#include "layout.h"
#include "names.h"
#include "writer_placement.h"

namespace hl::write {
namespace {

using layout::kNone32;

// A buffer of the data writer holds at least one whole block; real packages use 8 KiB.
constexpr uint32_t kMaxBlockSize = 64u << 20;
// The directory's hash chain keeps bit 31 of each entry for itself.
constexpr size_t kMaxItems = 0x7FFFFFFF;
constexpr uint64_t kMaxCount32 = 0xFFFFFFFFu;

Status invalid(std::string message) { return {ErrorCode::Invalid, std::move(message)}; }

std::string pathOf(const Plan& plan, uint32_t item) {
  std::string path;
  for (; item != 0 && item != kNone32; item = plan.items[item].parent) {
    path = path.empty() ? plan.items[item].node->name : plan.items[item].node->name + "/" + path;
  }
  return path.empty() ? "the root folder" : "'" + path + "'";
}

Status checkOptions(const Options& options) {
  const std::string version = std::to_string(options.formatVersion);
  if (options.type == PackageType::Ncf) {
    if (options.formatVersion != 1)
      return invalid("an NCF package has format version 1, not " + version);
    return {};
  }
  if (options.formatVersion != 3 && options.formatVersion != 5 && options.formatVersion != 6)
    return invalid("cannot write GCF format version " + version + " (3, 5 or 6 only)");
  if (options.blockSize == 0 || options.blockSize > kMaxBlockSize)
    return invalid("block size " + std::to_string(options.blockSize) + " is outside 1 .. 64 MiB");
  return {};
}

Status addItems(const Node& root, const Options& options, Plan& plan) {
  if (root.isFile) return invalid("the root of a package must be a folder");
  plan.items.push_back({});
  plan.items[0].node = &root;
  plan.items[0].parent = kNone32;
  plan.names.push_back('\0');
  // Appending while walking the same vector numbers the items breadth first.
  for (size_t folder = 0; folder < plan.items.size(); ++folder) {
    const Node& node = *plan.items[folder].node;
    if (node.isFile) {
      if (!node.children.empty()) return invalid(pathOf(plan, folder) + " is a file with children");
      continue;
    }
    uint32_t previous = 0;
    for (const Node& child : node.children) {
      if (plan.items.size() >= kMaxItems) return invalid("a package holds fewer than 2^31 items");
      const auto index = static_cast<uint32_t>(plan.items.size());
      if (!options.allowUnsafeNames && !isSafeName(child.name))
        return invalid("unsafe item name '" + child.name + "' in " + pathOf(plan, folder));
      if (plan.names.size() + child.name.size() + 1 > kMaxCount32)
        return invalid("the item names exceed the name table's 4 GiB");
      PlannedItem item;
      item.node = &child;
      item.parent = static_cast<uint32_t>(folder);
      item.nameOffset = static_cast<uint32_t>(plan.names.size());
      plan.names += child.name;
      plan.names.push_back('\0');
      if (previous == 0) {
        plan.items[folder].firstChild = index;
      } else {
        plan.items[previous].next = index;
      }
      ++plan.items[folder].childCount;
      previous = index;
      plan.items.push_back(item);
    }
  }
  return {};
}

Status addFiles(Plan& plan) {
  constexpr uint32_t kChunk = layout::directory_header::kDefaultChunkSize;
  uint64_t checksums = 0;
  for (uint32_t i = 0; i < plan.items.size(); ++i) {
    PlannedItem& item = plan.items[i];
    const Node& node = *item.node;
    item.checksumIndex = kNone32;
    if (!node.isFile) continue;
    const uint32_t size = node.content.size;
    if (size > 0 && !node.content.fill)
      return invalid(pathOf(plan, i) + " has " + std::to_string(size) + " bytes but no content");
    if (node.storedBytes > static_cast<int64_t>(size))
      return invalid(pathOf(plan, i) + " stores " + std::to_string(node.storedBytes) +
                     " bytes but has only " + std::to_string(size));
    item.storedBytes = node.storedBytes < 0 ? size : static_cast<uint32_t>(node.storedBytes);
    item.checksumIndex = plan.fileCount++;
    item.firstChecksum = static_cast<uint32_t>(checksums);
    item.checksumCount = static_cast<uint32_t>((uint64_t{size} + kChunk - 1) / kChunk);
    checksums += item.checksumCount;
  }
  if (checksums > kMaxCount32) return invalid("the files need more than 2^32 checksums");
  plan.checksumCount = static_cast<uint32_t>(checksums);
  return {};
}

Status tooManyBlocks(uint64_t count) {
  return invalid("the package needs " + std::to_string(count) +
                 " data blocks or more; its block count field holds at most 4294967295");
}

Status addFragments(const Options& options, Plan& plan) {
  const uint64_t blockSize = options.blockSize;
  uint64_t usedBlocks = 0;
  for (uint32_t i = 0; i < plan.items.size(); ++i) {
    const uint64_t stored = plan.items[i].storedBytes;
    const uint64_t step =
        options.blocksPerFragment > 0 ? options.blocksPerFragment * blockSize : stored;
    for (uint64_t offset = 0; offset < stored; offset += step) {
      const uint64_t size = std::min(step, stored - offset);
      const uint64_t blocks = (size + blockSize - 1) / blockSize;
      if (usedBlocks + blocks > kMaxCount32) return tooManyBlocks(usedBlocks + blocks);
      plan.fragments.push_back({i, static_cast<uint32_t>(offset), static_cast<uint32_t>(size),
                                static_cast<uint32_t>(usedBlocks), static_cast<uint32_t>(blocks)});
      usedBlocks += blocks;
    }
  }
  const uint64_t total = uint64_t{options.leadingFreeBlocks} + usedBlocks + options.freeBlocks;
  if (total > kMaxCount32) return tooManyBlocks(total);
  plan.blockCount = static_cast<uint32_t>(total);
  for (PlannedItem& item : plan.items) item.firstFragment = plan.blockCount;
  for (uint32_t f = static_cast<uint32_t>(plan.fragments.size()); f-- > 0;)
    plan.items[plan.fragments[f].item].firstFragment = f;
  return {};
}

}  // namespace

Status makePlan(const Node& root, const Options& options, Plan& plan) {
  plan = Plan();
  Status status = checkOptions(options);
  if (status.ok()) status = addItems(root, options, plan);
  if (status.ok()) status = addFiles(plan);
  if (!status.ok() || options.type == PackageType::Ncf) return status;
  plan.blockSize = options.blockSize;
  status = addFragments(options, plan);
  if (status.ok()) placeBlocks(options, plan);
  return status;
}

}  // namespace hl::write
