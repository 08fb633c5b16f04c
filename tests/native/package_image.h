// A test-side decoder of the packages our writer makes, written apart from the library's reader
// so that writer tests do not trust the code they check. It walks the sections in file order
// and throws std::out_of_range on a read past the bytes it was given.
#pragma once

#include <cstdint>
#include <filesystem>
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
  uint32_t cacheType = 0, formatVersion = 0, fileSizeField = 0, blockSize = 0, blockCount = 0;

  uint32_t entriesUsed = 0, lastUsedEntry = 0;
  std::vector<BlockEntry> entries;
  uint32_t firstUnusedBlock = 0, terminatorField = 0;
  std::vector<uint32_t> nextBlock;  // the fragmentation map

  std::optional<uint64_t> blockEntryMapAt;
  uint32_t entryMapFirst = 0, entryMapLast = 0;
  std::vector<std::pair<uint32_t, uint32_t>> entryMap;  // (previous, next)

  uint64_t directoryAt = 0, directoryEnd = 0;
  uint32_t fileCount = 0, directorySize = 0, nameSize = 0;
  std::vector<Item> items;
  std::vector<uint32_t> hashKeys, hashChain;

  std::optional<uint64_t> directoryMapHeaderAt;
  std::vector<uint32_t> directoryMap;

  uint64_t checksumsAt = 0;
  uint32_t checksumSize = 0, checksumMagic = 0;
  std::vector<std::pair<uint32_t, uint32_t>> checksumMap;  // (count, first)
  std::vector<uint32_t> checksums;
  uint64_t checksumsEnd = 0;  // after the signature

  std::optional<uint32_t> applicationVersion;
  uint64_t dataBlockHeaderAt = 0;
  uint32_t firstBlockOffset = 0, blocksUsed = 0;
  uint64_t metadataEnd = 0;

  uint32_t terminator() const { return terminatorField == 0 ? 0xFFFFu : 0xFFFFFFFFu; }
};

Image decode(const std::filesystem::path& path);

uint32_t u32At(const std::vector<uint8_t>& bytes, uint64_t offset);

// The data blocks of each fragment of `item` in chain order, after checking that its block
// entries link both ways and name the item.
std::vector<std::vector<uint32_t>> fileBlocks(const Image& image, uint32_t item);

// The bytes the package stores of `item`, read from the file through its blocks.
std::vector<uint8_t> storedBytes(const Image& image, uint32_t item);

}  // namespace package_image
