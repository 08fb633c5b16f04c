// Serialises a package's metadata section by section, in file order, from the writer's plan.
#include "writer_metadata.h"

#include <string>

#include "byte_writer.h"
#include "layout.h"
#include "writer_directory.h"

namespace hl::write {
namespace {

using layout::kNone32;

bool isGcf(const Options& options) { return options.type == PackageType::Gcf; }

// No description of format 3 exists. Our working hypothesis: format 5 without the directory
// map header and without the application-version dword before the data block header.
bool isFormat3(const Options& options) { return isGcf(options) && options.formatVersion == 3; }

// FileSize and Checksum are filled in once the metadata's length is known.
void appendFileHeader(const Plan& plan, const Options& options, ByteWriter& out) {
  namespace fh = layout::file_header;
  const size_t h = out.append(fh::kSize);
  out.put32(h + fh::kHeaderVersion, fh::kExpectedHeaderVersion);
  out.put32(h + fh::kCacheType, isGcf(options) ? fh::kCacheTypeGcf : fh::kCacheTypeNcf);
  out.put32(h + fh::kFormatVersion, options.formatVersion);
  out.put32(h + fh::kCacheId, options.cacheId);
  out.put32(h + fh::kCacheVersion, options.cacheVersion);
  if (isGcf(options)) {
    out.put32(h + fh::kBlockSize, plan.blockSize);
    out.put32(h + fh::kBlockCount, plan.blockCount);
  }
}

void finishFileHeader(const Plan& plan, const Options& options, ByteWriter& out) {
  namespace fh = layout::file_header;
  // A package over 4 GiB keeps its size modulo 2^32 here.
  if (isGcf(options))
    out.put32(fh::kFileSize, static_cast<uint32_t>(out.size() + plan.dataAreaSize()));
  out.put32(fh::kChecksum, byteSum(out.data(), fh::kChecksum));
}

// One entry per data block; entries 0 .. fragments-1 describe the fragments in file order.
void appendBlockEntries(const Plan& plan, ByteWriter& out) {
  namespace beh = layout::block_entry_header;
  namespace be = layout::block_entry;
  const uint32_t count = plan.blockCount;
  const auto used = static_cast<uint32_t>(plan.fragments.size());
  const size_t h = out.append(beh::kSize);
  out.put32(h + beh::kBlockCount, count);
  out.put32(h + beh::kBlocksUsed, used);
  out.put32(h + beh::kLastUsedBlock, used > 0 ? used - 1 : 0);  // 0 when none is in use
  out.putFieldSum(h, beh::kFieldsBeforeChecksum, h + beh::kChecksum);

  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = out.append(be::kSize);
    uint32_t next = count;
    uint32_t previous = count;
    if (i < used) {
      const Fragment& fragment = plan.fragments[i];
      const bool encrypted = (plan.items[fragment.item].node->extraFlags &
                              layout::directory_entry::kFlagEncrypted) != 0;
      // Written as a u32: the reserved high half of the flags stays 0.
      out.put32(e + be::kFlags, be::kFlagInUse | (encrypted ? be::kFlagEncrypted : be::kFlagRaw));
      out.put32(e + be::kFileDataOffset, fragment.fileOffset);
      out.put32(e + be::kFileDataSize, fragment.size);
      out.put32(e + be::kFirstDataBlockIndex, plan.blocks[fragment.firstBlock]);
      out.put32(e + be::kDirectoryIndex, fragment.item);
      if (i + 1 < used && plan.fragments[i + 1].item == fragment.item) next = i + 1;
      if (i > 0 && plan.fragments[i - 1].item == fragment.item) previous = i - 1;
    }
    out.put32(e + be::kNextBlockEntryIndex, next);
    out.put32(e + be::kPreviousBlockEntryIndex, previous);
  }
}

void appendFragmentationMap(const Plan& plan, const Options& options, ByteWriter& out) {
  namespace fm = layout::fragmentation_map_header;
  const uint32_t count = plan.blockCount;
  // The 16-bit terminator works only while no block index can take its value.
  const bool longTerminator = count >= fm::kShortTerminator;
  const uint32_t terminator = longTerminator ? fm::kLongTerminator : fm::kShortTerminator;
  std::vector<uint32_t> next(count, terminator);
  std::vector<bool> used(count, false);
  for (const Fragment& fragment : plan.fragments) {
    const uint32_t* blocks = plan.blocks.data() + fragment.firstBlock;
    for (uint32_t i = 0; i < fragment.blockCount; ++i) {
      used[blocks[i]] = true;
      if (i + 1 < fragment.blockCount) next[blocks[i]] = blocks[i + 1];
    }
  }
  uint32_t firstUnused = 0;
  while (firstUnused < count && used[firstUnused]) ++firstUnused;
  if (options.chainFreeBlocks) {
    uint32_t previous = firstUnused;
    for (uint32_t block = firstUnused + 1; block < count; ++block) {
      if (used[block]) continue;
      next[previous] = block;
      previous = block;
    }
  }

  const size_t h = out.append(fm::kSize);
  out.put32(h + fm::kBlockCount, count);
  out.put32(h + fm::kFirstUnusedEntry, firstUnused);
  out.put32(h + fm::kTerminator, longTerminator ? 1 : 0);
  out.putFieldSum(h, fm::kFieldsBeforeChecksum, h + fm::kChecksum);
  for (uint32_t value : next) out.add32(value);
}

// Formats 5 and 3: the used block entries linked in index order.
void appendBlockEntryMap(const Plan& plan, ByteWriter& out) {
  namespace bem = layout::block_entry_map;
  const uint32_t count = plan.blockCount;
  const auto used = static_cast<uint32_t>(plan.fragments.size());
  const size_t h = out.append(bem::kHeaderSize);
  out.put32(h + bem::kBlockCount, count);
  out.put32(h + bem::kFirstBlockEntryIndex, used > 0 ? 0 : count);
  out.put32(h + bem::kLastBlockEntryIndex, used > 0 ? used - 1 : count);
  out.putFieldSum(h, bem::kFieldsBeforeChecksum, h + bem::kChecksum);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = out.append(bem::kEntrySize);
    out.put32(e + bem::kEntryPrevious, i > 0 && i < used ? i - 1 : count);
    out.put32(e + bem::kEntryNext, i + 1 < used ? i + 1 : count);
  }
}

// An NCF holds a table of the same shape whose entries mean nothing known: zeros.
void appendDirectoryMap(const Plan& plan, const Options& options, ByteWriter& out) {
  namespace dm = layout::directory_map;
  if (!isFormat3(options)) {
    const size_t h = out.append(dm::kHeaderSize);
    out.put32(h + dm::kHeaderVersion, dm::kExpectedHeaderVersion);
  }
  for (const PlannedItem& item : plan.items) out.add32(isGcf(options) ? item.firstFragment : 0);
}

// The signature stays zero: what it covers and the platform's key are unknown, so no package of
// ours passes the game client's check anyway.
void appendChecksums(const Plan& plan, const std::vector<uint32_t>& checksums, ByteWriter& out) {
  namespace ch = layout::checksum_header;
  namespace cm = layout::checksum_map_header;
  const uint64_t size = cm::kSize + uint64_t{plan.fileCount} * cm::kMapEntrySize +
                        uint64_t{plan.checksumCount} * cm::kChecksumSize + cm::kSignatureSize;
  const size_t h = out.append(ch::kSize);
  out.put32(h + ch::kHeaderVersion, ch::kExpectedHeaderVersion);
  out.put32(h + ch::kChecksumSize, static_cast<uint32_t>(size));

  const size_t m = out.append(cm::kSize);
  out.put32(m + cm::kMagic, cm::kExpectedMagic);
  out.put32(m + cm::kVersion, cm::kExpectedVersion);
  out.put32(m + cm::kMapCount, plan.fileCount);
  out.put32(m + cm::kChecksumCount, plan.checksumCount);
  for (const PlannedItem& item : plan.items) {
    if (item.checksumIndex == kNone32) continue;
    out.add32(item.checksumCount);
    out.add32(item.firstChecksum);
  }
  for (uint32_t checksum : checksums) out.add32(checksum);
  out.append(cm::kSignatureSize);
}

void appendDataBlockHeader(const Plan& plan, ByteWriter& out) {
  namespace db = layout::data_block_header;
  const size_t h = out.append(db::kSize);
  out.put32(h + db::kBlockCount, plan.blockCount);
  out.put32(h + db::kBlockSize, plan.blockSize);
  out.put32(h + db::kFirstBlockOffset, static_cast<uint32_t>(out.size()));
  out.put32(h + db::kBlocksUsed, static_cast<uint32_t>(plan.blocks.size()));
  out.putFieldSum(h, db::kFieldsBeforeChecksum, h + db::kChecksum);
}

}  // namespace

Status buildMetadata(const Plan& plan, const std::vector<uint32_t>& checksums,
                     const Options& options, std::vector<uint8_t>& out) {
  ByteWriter writer;
  appendFileHeader(plan, options, writer);
  if (isGcf(options)) {
    appendBlockEntries(plan, writer);
    appendFragmentationMap(plan, options, writer);
    if (options.formatVersion < 6) appendBlockEntryMap(plan, writer);
  }
  appendDirectory(plan, options, writer);
  appendDirectoryMap(plan, options, writer);
  appendChecksums(plan, checksums, writer);
  if (!isFormat3(options)) writer.add32(options.cacheVersion);
  if (isGcf(options)) appendDataBlockHeader(plan, writer);
  // Every size and offset in the metadata, FirstBlockOffset last of all, is a u32.
  if (writer.size() > 0xFFFFFFFFu)
    return {ErrorCode::Invalid,
            "the package's metadata of " + std::to_string(writer.size()) + " bytes exceeds 4 GiB"};
  finishFileHeader(plan, options, writer);
  out = std::move(writer.bytes());
  return {};
}

}  // namespace hl::write
