// Serialises the directory of a package being written: header, entries, names, hash table.
#include "writer_directory.h"

#include <zlib.h>

#include <string_view>
#include <vector>

#include "layout.h"
#include "split_mix.h"

namespace hl::write {
namespace {

using layout::kNone32;
constexpr uint32_t kLastInBucket = 0x80000000u;

// The game client's own name hash is not known, so lookups in its hash table are never relied on;
// this one (FNV-1a over the ASCII-lowercased name) at least groups names the way a case-insensitive
// lookup would.
uint32_t nameHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  }
  return hash;
}

uint32_t bucketCountFor(uint32_t itemCount) {
  uint32_t count = 1;
  while (count < itemCount) count <<= 1;
  return count;
}

// Keys: per bucket, where its run starts in the chain (kNone32 when empty). Chain: the items
// grouped by bucket, the last of each run marked in bit 31.
void appendHashTable(const Plan& plan, uint32_t bucketCount, ByteWriter& out) {
  const size_t itemCount = plan.items.size();
  std::vector<uint32_t> bucketOf(itemCount);
  std::vector<uint32_t> runStart(size_t{bucketCount} + 1, 0);
  for (size_t i = 0; i < itemCount; ++i) {
    bucketOf[i] = nameHash(plan.names.c_str() + plan.items[i].nameOffset) & (bucketCount - 1);
    ++runStart[bucketOf[i] + 1];
  }
  for (uint32_t b = 0; b < bucketCount; ++b) runStart[b + 1] += runStart[b];

  std::vector<uint32_t> chain(itemCount);
  std::vector<uint32_t> cursor(runStart.begin(), runStart.end() - 1);
  for (size_t i = 0; i < itemCount; ++i) chain[cursor[bucketOf[i]]++] = static_cast<uint32_t>(i);
  for (uint32_t b = 0; b < bucketCount; ++b) {
    const bool empty = runStart[b] == runStart[b + 1];
    out.add32(empty ? kNone32 : runStart[b]);
    if (!empty) chain[runStart[b + 1] - 1] |= kLastInBucket;
  }
  for (uint32_t link : chain) out.add32(link);
}

}  // namespace

void appendDirectory(const Plan& plan, const Options& options, ByteWriter& out) {
  namespace dh = layout::directory_header;
  namespace de = layout::directory_entry;
  const auto itemCount = static_cast<uint32_t>(plan.items.size());
  const uint32_t bucketCount = bucketCountFor(itemCount);

  const size_t header = out.append(dh::kSize);
  for (const PlannedItem& item : plan.items) {
    const Node& node = *item.node;
    const size_t entry = out.append(de::kSize);
    out.put32(entry + de::kNameOffset, item.nameOffset);
    out.put32(entry + de::kItemSize, node.isFile ? node.content.size : item.childCount);
    out.put32(entry + de::kChecksumIndex, item.checksumIndex);
    out.put32(entry + de::kFlags, (node.isFile ? de::kFlagFile : 0) | node.extraFlags);
    out.put32(entry + de::kParentIndex, item.parent);
    out.put32(entry + de::kNextIndex, item.next);
    out.put32(entry + de::kFirstIndex, item.firstChild);
  }
  out.addBytes(plan.names.data(), plan.names.size());
  appendHashTable(plan, bucketCount, out);

  const auto directorySize = static_cast<uint32_t>(out.size() - header);
  out.put32(header + dh::kHeaderVersion, dh::kExpectedHeaderVersion);
  out.put32(header + dh::kCacheId, options.cacheId);
  out.put32(header + dh::kCacheVersion, options.cacheVersion);
  out.put32(header + dh::kItemCount, itemCount);
  out.put32(header + dh::kFileCount, plan.fileCount);
  out.put32(header + dh::kChunkSize, dh::kDefaultChunkSize);
  out.put32(header + dh::kDirectorySize, directorySize);
  out.put32(header + dh::kNameSize, static_cast<uint32_t>(plan.names.size()));
  out.put32(header + dh::kHashKeyCount, bucketCount);
  // The checksum leaves out Fingerprint and Checksum, which are both still zero here. Its
  // seed is not known; nothing checks it, and the standard Adler-32 start of 1 is used.
  const uLong adler = adler32(1L, out.data() + header, static_cast<uInt>(directorySize));
  out.put32(header + dh::kChecksum, static_cast<uint32_t>(adler));
  out.put32(header + dh::kFingerprint, static_cast<uint32_t>(splitMix64(options.seed, 0)));
}

}  // namespace hl::write
