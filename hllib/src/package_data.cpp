// Decoded access to the tables of an open package.
#include "package_data.h"

namespace hl {

namespace be = layout::block_entry;

BlockEntry PackageData::blockEntry(uint32_t index) const {
  const uint8_t* p = metadata.read(sections.blockEntries + uint64_t{index} * be::kSize, be::kSize);
  return {le16(p + be::kFlags),
          le32(p + be::kFileDataOffset),
          le32(p + be::kFileDataSize),
          le32(p + be::kFirstDataBlockIndex),
          le32(p + be::kNextBlockEntryIndex),
          le32(p + be::kPreviousBlockEntryIndex),
          le32(p + be::kDirectoryIndex)};
}

uint32_t PackageData::nextDataBlock(uint32_t block) const {
  return u32(sections.fragmentationMap +
             uint64_t{block} * layout::fragmentation_map_header::kEntrySize);
}

uint32_t PackageData::firstBlockEntry(uint32_t item) const {
  return u32(sections.directoryMap + uint64_t{item} * layout::directory_map::kEntrySize);
}

bool PackageData::checksumRange(uint32_t item, ChecksumRange& range) const {
  uint32_t index = entry(item).checksumIndex;
  if (index >= checksumMapCount) return false;
  uint64_t offset =
      sections.checksumMap + uint64_t{index} * layout::checksum_map_header::kMapEntrySize;
  const uint8_t* p = metadata.read(offset, layout::checksum_map_header::kMapEntrySize);
  range = {le32(p), le32(p + 4)};
  return true;
}

uint32_t PackageData::checksum(uint32_t index) const {
  return u32(sections.checksums + uint64_t{index} * layout::checksum_map_header::kChecksumSize);
}

}  // namespace hl
