// On-disk layout of GCF and NCF packages: structure sizes, field offsets, magic values, flags.
// Every integer on disk is a little-endian u32 unless a field says otherwise; structures are
// packed and sections follow each other without gaps, so offsets here are byte offsets.
#pragma once

#include <cstdint>

namespace hl::layout {

constexpr uint32_t kNone32 = 0xFFFFFFFFu;

namespace file_header {
constexpr uint32_t kSize = 44;
constexpr uint32_t kHeaderVersion = 0x00;  // always 1
constexpr uint32_t kCacheType = 0x04;      // 1 = GCF, 2 = NCF
constexpr uint32_t kFormatVersion = 0x08;
constexpr uint32_t kCacheId = 0x0C;
constexpr uint32_t kCacheVersion = 0x10;
constexpr uint32_t kUpdating = 0x14;
constexpr uint32_t kDummy1 = 0x18;
constexpr uint32_t kFileSize = 0x1C;  // real size modulo 2^32
constexpr uint32_t kBlockSize = 0x20;
constexpr uint32_t kBlockCount = 0x24;
constexpr uint32_t kChecksum = 0x28;  // sum of the 40 preceding bytes (older writers: of the u32s)
constexpr uint32_t kFieldsBeforeChecksum = 10;

constexpr uint32_t kExpectedHeaderVersion = 1;
constexpr uint32_t kCacheTypeGcf = 1;
constexpr uint32_t kCacheTypeNcf = 2;
}  // namespace file_header

namespace block_entry_header {
constexpr uint32_t kSize = 32;
constexpr uint32_t kBlockCount = 0x00;  // number of block entries
constexpr uint32_t kBlocksUsed = 0x04;
constexpr uint32_t kLastUsedBlock = 0x08;
constexpr uint32_t kChecksum = 0x1C;  // sum of the seven preceding u32 fields
constexpr uint32_t kFieldsBeforeChecksum = 7;
}  // namespace block_entry_header

namespace block_entry {
constexpr uint32_t kSize = 28;
constexpr uint32_t kFlags = 0x00;  // u16; the high u16 at 0x02 is preserved untouched
constexpr uint32_t kFileDataOffset = 0x04;
constexpr uint32_t kFileDataSize = 0x08;
constexpr uint32_t kFirstDataBlockIndex = 0x0C;
constexpr uint32_t kNextBlockEntryIndex = 0x10;  // == entry count: none
constexpr uint32_t kPreviousBlockEntryIndex = 0x14;
constexpr uint32_t kDirectoryIndex = 0x18;

constexpr uint16_t kFlagInUse = 0x8000;
constexpr uint16_t kFlagLocalPriority = 0x4000;
constexpr uint16_t kFlagRaw = 0x0001;
constexpr uint16_t kFlagCompressedEncrypted = 0x0002;
constexpr uint16_t kFlagEncrypted = 0x0004;
}  // namespace block_entry

namespace fragmentation_map_header {
constexpr uint32_t kSize = 16;
constexpr uint32_t kBlockCount = 0x00;
constexpr uint32_t kFirstUnusedEntry = 0x04;
constexpr uint32_t kTerminator = 0x08;  // 0 -> 0xFFFF ends a chain, 1 -> 0xFFFFFFFF
constexpr uint32_t kChecksum = 0x0C;    // sum of the three preceding u32 fields
constexpr uint32_t kFieldsBeforeChecksum = 3;
constexpr uint32_t kShortTerminator = 0x0000FFFFu;
constexpr uint32_t kLongTerminator = 0xFFFFFFFFu;
constexpr uint32_t kEntrySize = 4;
}  // namespace fragmentation_map_header

// Format version 5 and older: a doubly linked ordering of the block entries that version 6
// dropped. Readers only skip it.
namespace block_entry_map {
constexpr uint32_t kHeaderSize = 20;
constexpr uint32_t kBlockCount = 0x00;
constexpr uint32_t kFirstBlockEntryIndex = 0x04;
constexpr uint32_t kLastBlockEntryIndex = 0x08;
constexpr uint32_t kChecksum = 0x10;  // sum of the four preceding u32 fields
constexpr uint32_t kFieldsBeforeChecksum = 4;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kEntryPrevious = 0x00;  // == block entry count: none
constexpr uint32_t kEntryNext = 0x04;
}  // namespace block_entry_map

namespace directory_header {
constexpr uint32_t kSize = 56;
constexpr uint32_t kHeaderVersion = 0x00;  // always 4
constexpr uint32_t kCacheId = 0x04;
constexpr uint32_t kCacheVersion = 0x08;
constexpr uint32_t kItemCount = 0x0C;
constexpr uint32_t kFileCount = 0x10;
constexpr uint32_t kChunkSize = 0x14;  // checksum chunk size, 0x8000 in practice
constexpr uint32_t kDirectorySize = 0x18;
constexpr uint32_t kNameSize = 0x1C;
constexpr uint32_t kHashKeyCount = 0x20;
constexpr uint32_t kCopyCount = 0x24;
constexpr uint32_t kLocalCount = 0x28;
constexpr uint32_t kBitmask = 0x2C;
constexpr uint32_t kFingerprint = 0x30;
constexpr uint32_t kChecksum = 0x34;

constexpr uint32_t kExpectedHeaderVersion = 4;
constexpr uint32_t kDefaultChunkSize = 0x8000;
}  // namespace directory_header

namespace directory_entry {
constexpr uint32_t kSize = 28;
constexpr uint32_t kNameOffset = 0x00;
constexpr uint32_t kItemSize = 0x04;  // files: bytes; folders: child count (unreliable)
constexpr uint32_t kChecksumIndex = 0x08;
constexpr uint32_t kFlags = 0x0C;
constexpr uint32_t kParentIndex = 0x10;  // kNone32 for the root
constexpr uint32_t kNextIndex = 0x14;    // 0 = none: the root is never a sibling
constexpr uint32_t kFirstIndex = 0x18;   // 0 = none: the root is never a child

constexpr uint32_t kFlagFile = 0x00004000;
constexpr uint32_t kFlagEncrypted = 0x00000100;
constexpr uint32_t kFlagBackupLocal = 0x00000040;
constexpr uint32_t kFlagCopyLocal = 0x0000000A;
constexpr uint32_t kFlagCopyLocalNoOverwrite = 0x00000001;
}  // namespace directory_entry

// The directory map of a GCF; an NCF holds a table of the same shape whose entries mean
// nothing known.
namespace directory_map {
constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kHeaderVersion = 0x00;  // always 1
constexpr uint32_t kExpectedHeaderVersion = 1;
constexpr uint32_t kEntrySize = 4;
}  // namespace directory_map

namespace checksum_header {
constexpr uint32_t kSize = 8;
constexpr uint32_t kHeaderVersion = 0x00;  // always 1
constexpr uint32_t kChecksumSize = 0x04;   // bytes that follow: map header through signature
constexpr uint32_t kExpectedHeaderVersion = 1;
}  // namespace checksum_header

namespace checksum_map_header {
constexpr uint32_t kSize = 16;
constexpr uint32_t kMagic = 0x00;
constexpr uint32_t kVersion = 0x04;  // 1
constexpr uint32_t kMapCount = 0x08;
constexpr uint32_t kChecksumCount = 0x0C;

constexpr uint32_t kExpectedMagic = 0x14893721;
constexpr uint32_t kExpectedVersion = 1;
constexpr uint32_t kMapEntrySize = 8;  // checksum count, first checksum index
constexpr uint32_t kChecksumSize = 4;
constexpr uint32_t kSignatureSize = 128;
}  // namespace checksum_map_header

// In version 6 the latest-application-version dword sits right before the data block header.
constexpr uint32_t kApplicationVersionSize = 4;

namespace data_block_header {
constexpr uint32_t kSize = 20;
constexpr uint32_t kBlockCount = 0x00;
constexpr uint32_t kBlockSize = 0x04;
constexpr uint32_t kFirstBlockOffset = 0x08;  // absolute offset of data block 0
constexpr uint32_t kBlocksUsed = 0x0C;
constexpr uint32_t kChecksum = 0x10;  // sum of the four preceding u32 fields
constexpr uint32_t kFieldsBeforeChecksum = 4;
}  // namespace data_block_header

}  // namespace hl::layout
