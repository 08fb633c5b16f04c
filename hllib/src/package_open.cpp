// Opening a package: reads the small headers in file order and checks every count and offset
// against the real file before anything is allocated. The tables themselves are read and
// checked as they are used.
#include <cstdio>
#include <string>

#include "package_data.h"

namespace hl {
namespace {

namespace fh = layout::file_header;
namespace beh = layout::block_entry_header;
namespace fmh = layout::fragmentation_map_header;
namespace bem = layout::block_entry_map;
namespace dh = layout::directory_header;
namespace dm = layout::directory_map;
namespace ch = layout::checksum_header;
namespace cmh = layout::checksum_map_header;
namespace dbh = layout::data_block_header;

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

Status damaged(const std::string& message) { return {ErrorCode::Damaged, message}; }

// Reads one fixed-size structure; a file too short to hold it is the one truncation error.
Status readStructure(const PackageData& data, uint64_t offset, uint8_t* out, uint32_t size,
                     const char* what) {
  uint64_t fileSize = data.file->size();
  if (offset > fileSize || size > fileSize - offset)
    return Status::truncation(std::string("package is truncated: the ") + what + " at offset " +
                              hex(offset) + " needs " + std::to_string(size) +
                              " bytes, the file has " + std::to_string(fileSize) + " bytes");
  return data.file->readAt(offset, out, size);
}

Status checkTable(const PackageData& data, uint64_t offset, uint64_t count, uint64_t entrySize,
                  const char* what) {
  uint64_t fileSize = data.file->size();
  if (offset > fileSize || count * entrySize > fileSize - offset)
    return Status::truncation(std::string("package is truncated: the ") + what + " (" +
                              std::to_string(count) + " entries at offset " + hex(offset) +
                              ") runs past the end of the file (" + std::to_string(fileSize) +
                              " bytes)");
  return {};
}

void warnOnSum(PackageData& data, const uint8_t* header, uint32_t fields, uint32_t stored,
               const char* what) {
  if (fieldSum(header, fields) != stored)
    data.warnings.push_back(std::string("the ") + what + " checksum does not match its fields");
}

// Older GCF versions differ in sections nobody has described exactly; each hypothesis is one
// guess at which of them are present, and the one whose headers all make sense wins.
struct Hypothesis {
  bool blockEntryMap;
  bool directoryMapHeader;
  bool applicationVersion;
};

Status locateBlockTables(PackageData& data, uint64_t& offset, const Hypothesis& guess) {
  uint8_t header[beh::kSize];
  Status status = readStructure(data, offset, header, beh::kSize, "block entry header");
  if (!status.ok()) return status;
  data.blockEntryCount = le32(header + beh::kBlockCount);
  warnOnSum(data, header, beh::kFieldsBeforeChecksum, le32(header + beh::kChecksum),
            "block entry header");
  if (data.blockEntryCount != data.blockCount)
    data.warnings.push_back(std::to_string(data.blockEntryCount) + " block entries for " +
                            std::to_string(data.blockCount) + " data blocks");
  offset += beh::kSize;
  data.sections.blockEntries = offset;
  status = checkTable(data, offset, data.blockEntryCount, layout::block_entry::kSize,
                      "block entry table");
  if (!status.ok()) return status;
  offset += uint64_t{data.blockEntryCount} * layout::block_entry::kSize;

  uint8_t mapHeader[fmh::kSize];
  status = readStructure(data, offset, mapHeader, fmh::kSize, "fragmentation map header");
  if (!status.ok()) return status;
  if (le32(mapHeader + fmh::kBlockCount) != data.blockCount)
    return damaged("the fragmentation map counts " +
                   std::to_string(le32(mapHeader + fmh::kBlockCount)) +
                   " blocks, the file header " + std::to_string(data.blockCount));
  warnOnSum(data, mapHeader, fmh::kFieldsBeforeChecksum, le32(mapHeader + fmh::kChecksum),
            "fragmentation map header");
  data.terminator =
      le32(mapHeader + fmh::kTerminator) == 0 ? fmh::kShortTerminator : fmh::kLongTerminator;
  offset += fmh::kSize;
  data.sections.fragmentationMap = offset;
  status = checkTable(data, offset, data.blockCount, fmh::kEntrySize, "fragmentation map");
  if (!status.ok()) return status;
  offset += uint64_t{data.blockCount} * fmh::kEntrySize;

  if (guess.blockEntryMap) {
    uint8_t entryMapHeader[bem::kHeaderSize];
    status =
        readStructure(data, offset, entryMapHeader, bem::kHeaderSize, "block entry map header");
    if (!status.ok()) return status;
    uint32_t count = le32(entryMapHeader + bem::kBlockCount);
    offset += bem::kHeaderSize;
    status = checkTable(data, offset, count, bem::kEntrySize, "block entry map");
    if (!status.ok()) return status;
    offset += uint64_t{count} * bem::kEntrySize;
  }
  return {};
}

Status locateDirectory(PackageData& data, uint64_t& offset, uint32_t cacheId) {
  uint8_t header[dh::kSize];
  Status status = readStructure(data, offset, header, dh::kSize, "directory header");
  if (!status.ok()) return status;
  if (le32(header + dh::kHeaderVersion) != dh::kExpectedHeaderVersion ||
      le32(header + dh::kCacheId) != cacheId)
    return damaged("no directory header at offset " + hex(offset) + " (its version is " +
                   std::to_string(le32(header + dh::kHeaderVersion)) + ", its cache id " +
                   std::to_string(le32(header + dh::kCacheId)) + ")");
  data.sections.directoryHeader = offset;
  data.itemCount = le32(header + dh::kItemCount);
  data.fileCount = le32(header + dh::kFileCount);
  data.nameSize = le32(header + dh::kNameSize);
  if (uint32_t chunk = le32(header + dh::kChunkSize)) data.chunkSize = chunk;
  uint64_t hashKeys = le32(header + dh::kHashKeyCount);
  uint64_t copies = le32(header + dh::kCopyCount);
  uint64_t locals = le32(header + dh::kLocalCount);
  if (data.itemCount == 0) return damaged("the directory holds no items, not even the root");
  if (data.fileCount > data.itemCount)
    return damaged("the directory counts " + std::to_string(data.fileCount) + " files among " +
                   std::to_string(data.itemCount) + " items");

  uint64_t items = data.itemCount;
  uint64_t size = dh::kSize + items * layout::directory_entry::kSize + data.nameSize +
                  4 * (hashKeys + items + copies + locals);
  status = checkTable(data, offset, 1, size, "directory");
  if (!status.ok()) return status;
  if (size != le32(header + dh::kDirectorySize))
    data.warnings.push_back("the directory size field says " +
                            std::to_string(le32(header + dh::kDirectorySize)) +
                            " bytes, its counts " + std::to_string(size));
  data.sections.directoryEntries = offset + dh::kSize;
  data.sections.names = data.sections.directoryEntries + items * layout::directory_entry::kSize;
  offset += size;
  return {};
}

Status locateDirectoryMap(PackageData& data, uint64_t& offset, const Hypothesis& guess) {
  if (guess.directoryMapHeader) {
    uint8_t header[dm::kHeaderSize];
    Status status = readStructure(data, offset, header, dm::kHeaderSize, "directory map header");
    if (!status.ok()) return status;
    offset += dm::kHeaderSize;
  }
  data.sections.directoryMapHeader = guess.directoryMapHeader;
  data.sections.directoryMap = offset;
  Status status = checkTable(data, offset, data.itemCount, dm::kEntrySize, "directory map");
  if (!status.ok()) return status;
  offset += uint64_t{data.itemCount} * dm::kEntrySize;
  return {};
}

Status locateChecksums(PackageData& data, uint64_t& offset) {
  uint8_t header[ch::kSize + cmh::kSize];
  Status status = readStructure(data, offset, header, sizeof header, "checksum header");
  if (!status.ok()) return status;
  const uint8_t* map = header + ch::kSize;
  if (le32(map + cmh::kMagic) != cmh::kExpectedMagic)
    return damaged("no checksum map at offset " + hex(offset + ch::kSize) + " (magic " +
                   hex(le32(map + cmh::kMagic)) + ")");
  uint32_t checksumSize = le32(header + ch::kChecksumSize);
  data.checksumMapCount = le32(map + cmh::kMapCount);
  data.checksumCount = le32(map + cmh::kChecksumCount);
  uint64_t tables = cmh::kSize + uint64_t{data.checksumMapCount} * cmh::kMapEntrySize +
                    uint64_t{data.checksumCount} * cmh::kChecksumSize;
  if (tables > checksumSize)
    return damaged("the checksum tables need " + std::to_string(tables) +
                   " bytes, the section holds " + std::to_string(checksumSize));
  status = checkTable(data, offset, 1, ch::kSize + uint64_t{checksumSize}, "checksum section");
  if (!status.ok()) return status;
  if (tables + cmh::kSignatureSize != checksumSize)
    data.warnings.push_back("the checksum section is " + std::to_string(checksumSize) +
                            " bytes, its tables and signature " +
                            std::to_string(tables + cmh::kSignatureSize));
  data.sections.checksumHeader = offset;
  data.sections.checksumMap = offset + ch::kSize + cmh::kSize;
  data.sections.checksums =
      data.sections.checksumMap + uint64_t{data.checksumMapCount} * cmh::kMapEntrySize;
  offset += ch::kSize + uint64_t{checksumSize};
  return {};
}

Status locateDataArea(PackageData& data, uint64_t& offset, const Hypothesis& guess) {
  if (guess.applicationVersion) {
    data.sections.applicationVersion = offset;
    offset += layout::kApplicationVersionSize;
  }
  uint8_t header[dbh::kSize];
  Status status = readStructure(data, offset, header, dbh::kSize, "data block header");
  if (!status.ok()) return status;
  if (le32(header + dbh::kBlockCount) != data.blockCount ||
      le32(header + dbh::kBlockSize) != data.blockSize)
    return damaged("the data block header at " + hex(offset) + " describes " +
                   std::to_string(le32(header + dbh::kBlockCount)) + " blocks of " +
                   std::to_string(le32(header + dbh::kBlockSize)) + " bytes, the file header " +
                   std::to_string(data.blockCount) + " of " + std::to_string(data.blockSize));
  warnOnSum(data, header, dbh::kFieldsBeforeChecksum, le32(header + dbh::kChecksum),
            "data block header");
  data.sections.dataBlockHeader = offset;
  offset += dbh::kSize;
  data.firstBlockOffset = le32(header + dbh::kFirstBlockOffset);
  if (data.firstBlockOffset < offset)
    return damaged("the data area starts at " + hex(data.firstBlockOffset) +
                   ", inside the package's tables, which end at " + hex(offset));
  uint64_t end = data.firstBlockOffset + uint64_t{data.blockCount} * data.blockSize;
  if (end > data.file->size())
    return Status::truncation("package is truncated: its " + std::to_string(data.blockCount) +
                              " data blocks end at " + std::to_string(end) +
                              " bytes, the file has " + std::to_string(data.file->size()) +
                              " bytes");
  return {};
}

Status locateSections(PackageData& data, uint32_t cacheId, const Hypothesis& guess) {
  data.warnings.clear();
  uint64_t offset = fh::kSize;
  Status status;
  if (data.type == PackageType::Gcf) {
    status = locateBlockTables(data, offset, guess);
    if (!status.ok()) return status;
  }
  if (!(status = locateDirectory(data, offset, cacheId)).ok()) return status;
  if (!(status = locateDirectoryMap(data, offset, guess)).ok()) return status;
  if (!(status = locateChecksums(data, offset)).ok()) return status;
  if (data.type == PackageType::Gcf) {
    if (!(status = locateDataArea(data, offset, guess)).ok()) return status;
  } else if (data.file->size() - offset > layout::kApplicationVersionSize) {
    data.warnings.push_back(std::to_string(data.file->size() - offset) +
                            " unexpected bytes follow the checksum section");
  }
  data.sections.metadataEnd = offset;
  return {};
}

Status checkFileHeader(PackageData& data, const uint8_t* header) {
  if (le32(header + fh::kHeaderVersion) != fh::kExpectedHeaderVersion ||
      (le32(header + fh::kCacheType) != fh::kCacheTypeGcf &&
       le32(header + fh::kCacheType) != fh::kCacheTypeNcf))
    return {ErrorCode::NotAPackage, "not a GCF or NCF package (unknown header)"};
  data.type =
      le32(header + fh::kCacheType) == fh::kCacheTypeGcf ? PackageType::Gcf : PackageType::Ncf;
  data.formatVersion = le32(header + fh::kFormatVersion);
  data.blockSize = le32(header + fh::kBlockSize);
  data.blockCount = le32(header + fh::kBlockCount);
  if (data.type == PackageType::Ncf) {
    if (data.formatVersion != 1)
      return {ErrorCode::Unsupported, "NCF format version " + std::to_string(data.formatVersion) +
                                          " is not supported (only version 1)"};
    return {};
  }
  if (data.formatVersion != 6 && data.formatVersion != 5 && data.formatVersion != 3)
    return {ErrorCode::Unsupported, "GCF format version " + std::to_string(data.formatVersion) +
                                        " is not supported (versions 6, 5 and 3 are)"};
  if (data.blockSize == 0) return damaged("the file header gives a block size of 0");
  return {};
}

}  // namespace

std::unique_ptr<PackageData> openPackageData(std::unique_ptr<io::File> file, Status& status) {
  auto data = std::make_unique<PackageData>();
  data->file = std::move(file);
  uint8_t header[fh::kSize];
  if (data->file->size() < fh::kSize) {
    status = {ErrorCode::NotAPackage,
              "not a GCF or NCF package (only " + std::to_string(data->file->size()) + " bytes)"};
    return nullptr;
  }
  if (!(status = data->file->readAt(0, header, fh::kSize)).ok()) return nullptr;
  if (!(status = checkFileHeader(*data, header)).ok()) return nullptr;
  uint32_t cacheId = le32(header + fh::kCacheId);

  static const Hypothesis kVersion6{false, true, true};
  static const Hypothesis kOlder[] = {
      {true, true, true},  {true, false, true},  {true, true, false},  {true, false, false},
      {false, true, true}, {false, false, true}, {false, true, false}, {false, false, false},
  };
  if (data->type == PackageType::Ncf || data->formatVersion == 6) {
    status = locateSections(*data, cacheId, kVersion6);
  } else {
    for (const Hypothesis& guess : kOlder) {
      status = locateSections(*data, cacheId, guess);
      if (status.ok() || status.truncated()) break;
    }
    if (!status.ok() && !status.truncated())
      status = {ErrorCode::Unsupported,
                "GCF format version " + std::to_string(data->formatVersion) +
                    ": no known layout fits this package (" + status.message() + ")"};
  }
  if (!status.ok()) return nullptr;
  const uint32_t stored = le32(header + fh::kChecksum);
  if (byteSum(header, fh::kChecksum) != stored &&
      fieldSum(header, fh::kFieldsBeforeChecksum) != stored)
    data->warnings.push_back("the file header checksum does not match its fields");
  if (data->type == PackageType::Gcf &&
      le32(header + fh::kFileSize) != static_cast<uint32_t>(data->file->size()))
    data->warnings.push_back(
        "the file header gives a size of " + std::to_string(le32(header + fh::kFileSize)) +
        " bytes, the file has " + std::to_string(data->file->size()) + " bytes");

  if (!(status = data->metadata.open(*data->file, data->sections.metadataEnd)).ok()) return nullptr;
  if (!(status = checkRoot(*data)).ok()) return nullptr;
  return data;
}

}  // namespace hl
