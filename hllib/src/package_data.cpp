// Decoded access to the tables of an open package.
#include "package_data.h"

#include <cstring>

namespace hl {

namespace be = layout::block_entry;

Status PackageData::loadTables() const {
  std::call_once(tablesRead, [this] {
    uint8_t* bytes = metadata.get();
    uint64_t directoryEnd = sections.names + nameSize;
    tablesStatus = file->readAt(0, bytes, static_cast<size_t>(sections.directoryEntries));
    if (tablesStatus.ok())
      tablesStatus = file->readAt(directoryEnd, bytes + directoryEnd,
                                  static_cast<size_t>(sections.metadataEnd - directoryEnd));
    if (!tablesStatus.ok()) {
      std::memset(bytes, 0, static_cast<size_t>(sections.directoryEntries));
      std::memset(bytes + directoryEnd, 0,
                  static_cast<size_t>(sections.metadataEnd - directoryEnd));
    }
  });
  return tablesStatus;
}

std::string_view PackageData::name(uint32_t item) const {
  // The tree check made sure every reachable name starts inside the table and the table ends
  // in a NUL, so the name ends inside it too.
  uint32_t offset = entry(item).nameOffset;
  if (offset >= nameSize) return {};
  return reinterpret_cast<const char*>(at(sections.names + offset));
}

BlockEntry PackageData::blockEntry(uint32_t index) const {
  const uint8_t* p = at(sections.blockEntries + uint64_t{index} * be::kSize);
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
  range = {u32(offset), u32(offset + 4)};
  return true;
}

uint32_t PackageData::checksum(uint32_t index) const {
  return u32(sections.checksums + uint64_t{index} * layout::checksum_map_header::kChecksumSize);
}

}  // namespace hl
