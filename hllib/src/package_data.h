// The in-memory model of an open package: where each table lies and decoded access to it.
// Offsets are absolute and 64-bit; every table was checked against the file when it was
// opened, so the accessors only check the index they are given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_order.h"
#include "file_io.h"
#include "layout.h"
#include "metadata_copy.h"
#include "package.h"

namespace hl {

struct DirectoryEntry {
  uint32_t nameOffset, itemSize, checksumIndex, flags, parent, next, first;
  bool isFile() const { return (flags & layout::directory_entry::kFlagFile) != 0; }
};

struct BlockEntry {
  uint16_t flags;
  uint32_t fileDataOffset, fileDataSize, firstDataBlock, next, previous, directoryIndex;
};

struct ChecksumRange {
  uint32_t count, first;
};

class PackageData {
 public:
  // Where the package's sections lie, as found when it was opened.
  struct Sections {
    uint64_t blockEntries = 0;      // first block entry
    uint64_t fragmentationMap = 0;  // first map entry
    uint64_t directoryHeader = 0;
    uint64_t directoryEntries = 0;
    uint64_t names = 0;
    uint64_t directoryMap = 0;  // first map entry (an NCF's table of unknown entries)
    bool directoryMapHeader = true;
    uint64_t checksumHeader = 0;
    uint64_t checksumMap = 0;  // first map entry
    uint64_t checksums = 0;
    uint64_t applicationVersion = 0;  // 0 when the package has none
    uint64_t dataBlockHeader = 0;
    uint64_t metadataEnd = 0;  // end of everything before the data area
  };

  std::unique_ptr<io::File> file;
  MetadataCopy metadata;  // the file's first sections.metadataEnd bytes
  Sections sections;
  PackageType type = PackageType::Gcf;
  uint32_t formatVersion = 0;
  uint32_t blockSize = 0;
  uint32_t blockCount = 0;       // data blocks
  uint32_t blockEntryCount = 0;  // block entries
  uint32_t terminator = layout::fragmentation_map_header::kShortTerminator;
  uint64_t firstBlockOffset = 0;
  uint32_t itemCount = 0;
  uint32_t fileCount = 0;
  uint32_t nameSize = 0;
  uint32_t chunkSize = layout::directory_header::kDefaultChunkSize;
  uint32_t checksumMapCount = 0;
  uint32_t checksumCount = 0;
  std::vector<std::string> warnings;
  io::Path contentRoot;  // NCF: where the files lie on disk
  // Items reached from the root by the tree check. Only their links were checked, so only
  // they may be followed; an item outside the tree is still named, but never walked.
  std::vector<uint8_t> inTree;

  // The directory's entries, or bytes already read (see MetadataCopy).
  const uint8_t* at(uint64_t offset) const { return metadata.at(offset); }
  // A u32 of the tables outside the directory, read when first needed.
  uint32_t u32(uint64_t offset) const { return le32(metadata.read(offset, 4)); }

  // Inline: the tree check and every walk decode entries by the hundred thousand.
  DirectoryEntry entry(uint32_t item) const {
    namespace de = layout::directory_entry;
    const uint8_t* p = at(sections.directoryEntries + uint64_t{item} * de::kSize);
    return {le32(p + de::kNameOffset), le32(p + de::kItemSize),    le32(p + de::kChecksumIndex),
            le32(p + de::kFlags),      le32(p + de::kParentIndex), le32(p + de::kNextIndex),
            le32(p + de::kFirstIndex)};
  }
  std::string_view name(uint32_t item) const;
  BlockEntry blockEntry(uint32_t index) const;
  uint32_t nextDataBlock(uint32_t block) const;
  uint32_t firstBlockEntry(uint32_t item) const;  // == blockEntryCount: none
  bool checksumRange(uint32_t item, ChecksumRange& range) const;
  uint32_t checksum(uint32_t index) const;
  uint64_t blockOffset(uint32_t block) const {
    return firstBlockOffset + static_cast<uint64_t>(block) * blockSize;
  }
};

// The item's path below the root, components joined by `separator`; "" for the root.
std::string itemPath(const PackageData& data, uint32_t item, char separator);
// The item's path below the root as a relative file-system path. False when a name on the
// way could leave the folder the path is joined to.
bool itemFilePath(const PackageData& data, uint32_t item, io::Path& path);

// The model of an open package without all of its tables read first, for the library's own
// readers, whose accessors read what they use.
const PackageData& modelOf(const Package& package);
// The model with everything up to the data area read, for code that goes through whole tables.
const PackageData& loadedModelOf(const Package& package);
// Package::walk without its guard, for the library's own calls: what `visit` throws passes
// through to the caller's guard, which names the call it ended.
void walkItems(const PackageData& data, uint32_t folder, char separator, const ItemVisitor& visit);
// Reads everything up to the data area of the package in `file` into memory and checks it.
std::unique_ptr<PackageData> openPackageData(std::unique_ptr<io::File> file, Status& status);
// Checks that the directory is one tree: every item reached once from the root, with its
// parent link agreeing. Later walks rely on this.
Status checkDirectoryTree(PackageData& data);

}  // namespace hl
