// Resolving a file's fragments and data blocks, with every index, link and size checked.
#include "file_plan.h"

#include <algorithm>
#include <string>

namespace hl {
namespace {

namespace be = layout::block_entry;

Status damaged(uint32_t item, const std::string& message) {
  return {ErrorCode::Damaged, "item " + std::to_string(item) + ": " + message};
}

struct Fragment {
  uint32_t offset, size, firstBlock;
};

Status collectFragments(const PackageData& d, uint32_t item, FilePlan& plan,
                        std::vector<Fragment>& fragments) {
  uint32_t index = d.firstBlockEntry(item);
  uint32_t steps = 0;
  while (index != d.blockEntryCount) {
    if (index > d.blockEntryCount)
      return damaged(item, "links to block entry " + std::to_string(index) +
                               ", past the last entry " + std::to_string(d.blockEntryCount - 1));
    if (++steps > d.blockEntryCount) return damaged(item, "its block entries link in a cycle");
    BlockEntry entry = d.blockEntry(index);
    if (!(entry.flags & be::kFlagInUse))
      return damaged(item,
                     "links to block entry " + std::to_string(index) + ", which is not in use");
    if (entry.directoryIndex != item)
      return damaged(item, "block entry " + std::to_string(index) + " belongs to item " +
                               std::to_string(entry.directoryIndex));
    if (uint64_t{entry.fileDataOffset} + entry.fileDataSize > plan.info.size)
      return damaged(item, "block entry " + std::to_string(index) + " holds bytes " +
                               std::to_string(entry.fileDataOffset) + " to " +
                               std::to_string(uint64_t{entry.fileDataOffset} + entry.fileDataSize) +
                               " of a file of " + std::to_string(plan.info.size));
    if (entry.flags & (be::kFlagEncrypted | be::kFlagCompressedEncrypted))
      plan.info.encrypted = true;
    fragments.push_back({entry.fileDataOffset, entry.fileDataSize, entry.firstDataBlock});
    index = entry.next;
  }
  std::sort(fragments.begin(), fragments.end(),
            [](const Fragment& a, const Fragment& b) { return a.offset < b.offset; });
  uint64_t end = 0;
  for (const Fragment& fragment : fragments) {
    if (fragment.offset < end) return damaged(item, "two of its fragments overlap");
    end = uint64_t{fragment.offset} + fragment.size;
    plan.info.storedBytes += fragment.size;
  }
  return {};
}

// `blocksLeft` is what the file's earlier fragments left of the package's data blocks: each
// block may be used once, so a file can never need more. Without that bound a chain that loops
// would be followed (and its runs kept) until a claimed size of up to 4 GiB was used up.
Status resolveBlocks(const PackageData& d, uint32_t item, const Fragment& fragment,
                     uint64_t& blocksLeft, FilePlan& plan) {
  uint64_t remaining = fragment.size;
  uint64_t position = fragment.offset;
  uint64_t blocks = (remaining + d.blockSize - 1) / d.blockSize;
  if (blocks > blocksLeft)
    return damaged(item, "its fragments need more than the package's " +
                             std::to_string(d.blockCount) + " data blocks");
  blocksLeft -= blocks;
  uint32_t block = fragment.firstBlock;
  for (uint64_t walked = 0; remaining > 0; ++walked) {
    if (block >= d.blockCount)
      return damaged(item, "links to data block " + std::to_string(block) +
                               ", past the last block " + std::to_string(d.blockCount - 1));
    uint64_t size = std::min<uint64_t>(d.blockSize, remaining);
    uint64_t offset = d.blockOffset(block);
    ByteRun* last = plan.runs.empty() ? nullptr : &plan.runs.back();
    if (last && last->sourceOffset + last->size == offset &&
        last->fileOffset + last->size == position)
      last->size += size;
    else
      plan.runs.push_back({position, offset, size});
    position += size;
    remaining -= size;
    if (remaining == 0) break;
    uint32_t next = d.nextDataBlock(block);
    if (next == d.terminator || next >= d.blockCount)
      return damaged(item, "its block chain ends after " + std::to_string(walked + 1) + " of " +
                               std::to_string(blocks) + " blocks");
    block = next;
  }
  return {};
}

// A data block may belong to one fragment only; a chain that loops back or runs into another
// file's blocks shows up as overlapping runs.
Status checkRunsDisjoint(uint32_t item, const std::vector<ByteRun>& runs) {
  std::vector<ByteRun> sorted(runs);
  std::sort(sorted.begin(), sorted.end(),
            [](const ByteRun& a, const ByteRun& b) { return a.sourceOffset < b.sourceOffset; });
  for (size_t i = 1; i < sorted.size(); ++i)
    if (sorted[i - 1].sourceOffset + sorted[i - 1].size > sorted[i].sourceOffset)
      return damaged(item, "uses a data block twice");
  return {};
}

Status planDiskFile(const PackageData& d, uint32_t item, FilePlan& plan) {
  if (d.contentRoot.empty())
    return {ErrorCode::Invalid,
            "an NCF package keeps its files on disk: name their folder to read them"};
  io::Path relative;
  if (!itemFilePath(d, item, relative))
    return {ErrorCode::UnsafeName,
            "item " + std::to_string(item) + " has a name that could leave the content folder"};
  io::Path path = d.contentRoot / relative;
  Status status;
  plan.diskFile = io::File::open(path, io::File::Mode::Read, status);
  if (!plan.diskFile && io::pathKind(path) == io::PathKind::Missing)
    return {};                        // missing on disk: nothing stored
  if (!plan.diskFile) return status;  // there, but a folder, a FIFO, unreadable...
  plan.source = plan.diskFile.get();
  plan.info.storedBytes = std::min(plan.diskFile->size(), plan.info.size);
  if (plan.info.storedBytes > 0) plan.runs.push_back({0, 0, plan.info.storedBytes});
  return {};
}

Status planFromTables(const PackageData& d, uint32_t item, bool resolveRuns, FilePlan& plan) {
  if (item >= d.itemCount) return {ErrorCode::ItemNotFound, "no item " + std::to_string(item)};
  DirectoryEntry entry = d.entry(item);
  if (!entry.isFile()) return {ErrorCode::Invalid, "item " + std::to_string(item) + " is a folder"};
  plan.info.size = entry.itemSize;
  plan.info.encrypted = (entry.flags & layout::directory_entry::kFlagEncrypted) != 0;
  if (d.type == PackageType::Ncf) return planDiskFile(d, item, plan);

  plan.source = d.file.get();
  std::vector<Fragment> fragments;
  Status status = collectFragments(d, item, plan, fragments);
  if (!status.ok() || !resolveRuns) return status;
  uint64_t blocksLeft = d.blockCount;
  for (const Fragment& fragment : fragments)
    if (!(status = resolveBlocks(d, item, fragment, blocksLeft, plan)).ok()) return status;
  plan.blocks = static_cast<uint32_t>(d.blockCount - blocksLeft);
  return checkRunsDisjoint(item, plan.runs);
}

}  // namespace

// Tables are read as they are first needed; a read that failed there (the package was cut
// short) explains any damage it seemed to show.
Status planFile(const PackageData& d, uint32_t item, bool resolveRuns, FilePlan& plan) {
  return explainedByReads(d, planFromTables(d, item, resolveRuns, plan));
}

Status readable(const PackageData& d, uint32_t item, const FilePlan& plan) {
  if (plan.info.encrypted)
    return {ErrorCode::Encrypted, "item " + std::to_string(item) + " is encrypted"};
  if (plan.info.storedBytes < plan.info.size) {
    std::string where =
        d.type == PackageType::Ncf && !plan.diskFile ? " (its file is missing on disk)" : "";
    return {ErrorCode::Incomplete, "item " + std::to_string(item) +
                                       " is incomplete: " + std::to_string(plan.info.storedBytes) +
                                       " of " + std::to_string(plan.info.size) +
                                       " bytes are stored" + where};
  }
  return {};
}

Status readPlanned(const FilePlan& plan, const ByteSink& sink) {
  // No bigger than the file: reading 100,000 small files must not cost 100,000 large buffers.
  uint64_t bufferSize = 0;
  for (const ByteRun& run : plan.runs) bufferSize += run.size;
  bufferSize = std::min<uint64_t>(bufferSize, 1 << 20);
  std::unique_ptr<uint8_t[]> buffer;
  for (const ByteRun& run : plan.runs) {
    for (uint64_t done = 0; done < run.size;) {
      if (!buffer) buffer.reset(new uint8_t[bufferSize]);
      size_t step = static_cast<size_t>(std::min(bufferSize, run.size - done));
      Status status = plan.source->readAt(run.sourceOffset + done, buffer.get(), step);
      if (!status.ok()) return status;
      if (!sink(buffer.get(), step)) return {};
      done += step;
    }
  }
  return {};
}

}  // namespace hl
