// The tests' one decoder and locator of packages: it walks the sections in file order, written
// apart from the library's reader so that tests do not trust the code they check, and says where
// each table's entries lie so that tests can damage single fields. It throws std::out_of_range on
// a read past the bytes it was given.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace package_image {

struct BlockEntry {
  uint32_t flags, offset, size, firstBlock, next, previous, item;
};

struct Item {
  uint32_t nameOffset, size, checksumIndex, flags, parent, next, first;
  std::string name;
};

// Every table of a package, and the absolute offset where each section starts.
struct Image {
  std::filesystem::path path;
  std::vector<uint8_t> head;  // the package's first bytes: at least all of its metadata
  uint32_t cacheType = 0, formatVersion = 0, blockSize = 0, blockCount = 0;

  std::vector<BlockEntry> entries;
  uint32_t firstUnusedBlock = 0, terminatorField = 0;
  std::vector<uint32_t> nextBlock;  // the fragmentation map

  uint64_t directoryAt = 0;
  uint32_t nameSize = 0;
  std::vector<Item> items;

  std::optional<uint64_t> directoryMapHeaderAt;
  uint64_t directoryMapAt = 0;
  std::vector<uint32_t> directoryMap;

  uint64_t checksumsAt = 0;

  uint64_t dataBlockHeaderAt = 0;
  uint32_t firstBlockOffset = 0, blocksUsed = 0;
  uint64_t metadataEnd = 0;

  uint32_t terminator() const { return terminatorField == 0 ? 0xFFFFu : 0xFFFFFFFFu; }

  // Where entries start, for patching a field at its offset within the entry.
  uint64_t blockEntryAt(uint64_t index) const { return 44 + 32 + 28 * index; }
  uint64_t fragmentationHeaderAt() const { return blockEntryAt(entries.size()); }
  uint64_t nextBlockAt(uint32_t block) const { return fragmentationHeaderAt() + 16 + 4ull * block; }
  uint64_t itemAt(uint64_t index) const { return directoryAt + 56 + 28 * index; }
  uint64_t namesAt() const { return itemAt(items.size()); }
  // The first item named `name`, or the item count.
  uint32_t itemNamed(const std::string& name) const;
};

Image decode(const std::filesystem::path& path);

uint32_t u32At(const std::vector<uint8_t>& bytes, uint64_t offset);

// (offset, value) pairs, each stored as a little-endian u32.
using Patch = std::initializer_list<std::pair<uint64_t, uint32_t>>;
void patch(std::vector<uint8_t>& bytes, Patch changes);
// Rewrites the file at `path` with the changes made.
void patch(const std::filesystem::path& path, Patch changes);

// The data blocks of each fragment of `item` in chain order, after checking that its block
// entries link both ways and name the item.
std::vector<std::vector<uint32_t>> fileBlocks(const Image& image, uint32_t item);

}  // namespace package_image
