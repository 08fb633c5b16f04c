// The in-memory model of an open package: where each table lies and decoded access to it.
// Offsets are absolute and 64-bit; every table was checked against the file when it was
// opened, so the accessors only check the index they are given. What the tables hold is
// checked where it is first used: a lookup checks the entries on its way, a walk the tree it
// walks, a read its file's chains.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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
  std::vector<std::string> warnings;  // the headers', found at opening
  io::Path contentRoot;               // NCF: where the files lie on disk

  // The check of the whole directory tree, made once when first asked for (checkWholeTree).
  struct WholeTree {
    std::once_flag once;
    std::atomic<bool> done{false};  // the fields below are set
    Status status;
    std::vector<std::string> warnings;
    // Items reached from the root. Only their links were checked, so only they may be
    // followed; an item outside the tree is still named, but never walked.
    std::vector<uint8_t> reached;
  };
  mutable WholeTree tree;
  // Folders below which the tree was found sound, without the whole tree checked: an
  // extraction checks before it makes anything, then walks. A few suffice.
  struct CheckedFolders {
    std::mutex mutex;
    std::vector<uint32_t> folders;
  };
  mutable CheckedFolders checkedFolders;

  // Bytes already read (see MetadataCopy).
  const uint8_t* at(uint64_t offset) const { return metadata.at(offset); }
  // A u32 of the tables outside the directory, read when first needed.
  uint32_t u32(uint64_t offset) const { return le32(metadata.read(offset, 4)); }

  // Inline: the tree check and every walk decode entries by the hundred thousand.
  DirectoryEntry entry(uint32_t item) const {
    namespace de = layout::directory_entry;
    const uint8_t* p =
        metadata.read(sections.directoryEntries + uint64_t{item} * de::kSize, de::kSize);
    return {le32(p + de::kNameOffset), le32(p + de::kItemSize),    le32(p + de::kChecksumIndex),
            le32(p + de::kFlags),      le32(p + de::kParentIndex), le32(p + de::kNextIndex),
            le32(p + de::kFirstIndex)};
  }
  std::string_view name(uint32_t item) const { return nameAt(entry(item).nameOffset); }
  // The name an entry's offset gives, read as it is first needed and never past its table.
  std::string_view nameAt(uint32_t nameOffset) const {
    if (nameOffset >= nameSize) return {};
    return metadata.readText(sections.names + nameOffset, nameSize - nameOffset);
  }
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
// `status`, unless a read of the tables failed (the package was cut short while open): that
// failure explains whatever damage the zeros it left seemed to show.
Status explainedByReads(const PackageData& data, const Status& status);
// Checks the tree below `folder` before a walk of it; `walkable` is false for an item that is
// no folder of the tree, whose links are never followed. ItemNotFound past the last item.
Status checkWalk(const PackageData& data, uint32_t folder, bool& walkable);
// Package::walk without its guard, for the library's own calls: checks the tree below `folder`
// (see checkWalk), then visits it. What `visit` throws passes through to the caller's guard,
// which names the call it ended.
Status walkItems(const PackageData& data, uint32_t folder, char separator,
                 const ItemVisitor& visit);
// walkItems for the library's own loops over every item, which the visitor's indirection would
// slow: visit(item, entry, path).
template <typename Visit>
Status forEachItemBelow(const PackageData& data, uint32_t folder, char separator, Visit&& visit) {
  bool walkable = false;
  Status status = checkWalk(data, folder, walkable);
  if (!status.ok() || !walkable) return status;
  struct Level {
    uint32_t nextChild;
    size_t pathLength;
  };
  std::vector<Level> levels{{data.entry(folder).first, 0}};
  std::string path;
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextChild == 0) {
      levels.pop_back();
      continue;
    }
    const uint32_t child = level.nextChild;
    const DirectoryEntry entry = data.entry(child);
    level.nextChild = entry.next;
    path.resize(level.pathLength);
    if (!path.empty()) path += separator;
    path += data.nameAt(entry.nameOffset);
    visit(child, entry, path);
    if (!entry.isFile()) levels.push_back({entry.first, path.size()});
  }
  return {};
}
// Checks the tree below `folder` as a walk of it does: Ok, reading nothing more, for a file or
// an item outside the tree, whose links are never followed; ItemNotFound past the last item.
Status checkTreeBelow(const PackageData& data, uint32_t folder);
// Package::find without its guard: `item` is kNoItem when no item has the path. The entries on
// the way are checked as the tree check would.
Status findItem(const PackageData& data, std::string_view path, uint32_t& item);
// Reads the headers of the package in `file` and checks them, its tables' bounds and its root.
std::unique_ptr<PackageData> openPackageData(std::unique_ptr<io::File> file, Status& status);
// The root's entry and the name table's end, which every lookup and walk starts from.
Status checkRoot(const PackageData& data);
// Checks, once, that the directory is one tree: every item reached once from the root, its
// links and name within their tables, its parent link agreeing. Its warnings join the
// package's.
const Status& checkWholeTree(const PackageData& data);

}  // namespace hl
