// The writer's entry points: plan a package, checksum its files, write its metadata and data,
// and (for an NCF, or a benchmark's baseline) the files as a plain folder tree.
#include "writer.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "checksum.h"
#include "file_io.h"
#include "layout.h"
#include "writer_data.h"
#include "writer_metadata.h"
#include "writer_plan.h"

namespace hl::write {
namespace {

// Content::fill is the caller's code and may throw; no exception leaves the library.
template <typename Body>
Status guarded(const std::string& what, Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return {ErrorCode::WriteFailed, "not enough memory to write " + what};
  } catch (const std::exception& e) {
    return {ErrorCode::WriteFailed, "cannot write " + what + ": " + e.what()};
  } catch (...) {
    return {ErrorCode::WriteFailed, "cannot write " + what + ": unknown exception"};
  }
}

// Checksums always cover a file's whole content, also when only part of it is stored.
std::vector<uint32_t> chunkChecksums(const Plan& plan) {
  constexpr uint32_t kChunk = layout::directory_header::kDefaultChunkSize;
  std::vector<uint32_t> checksums(plan.checksumCount);
  std::vector<uint8_t> chunk(kChunk);
  for (const PlannedItem& item : plan.items) {
    const Content& content = item.node->content;
    for (uint32_t j = 0; j < item.checksumCount; ++j) {
      const uint64_t offset = uint64_t{j} * kChunk;
      const auto count = static_cast<size_t>(std::min<uint64_t>(kChunk, content.size - offset));
      content.fill(offset, chunk.data(), count);
      checksums[item.firstChecksum + j] = chunkChecksum(chunk.data(), count);
    }
  }
  return checksums;
}

// The file is sized first, so blocks that are never written (free ones) cost no disk space
// where the file system keeps holes.
Status writePackageFile(const Plan& plan, const std::vector<uint8_t>& metadata,
                        const io::Path& target, bool& created) {
  Status status;
  auto file = io::File::open(target, io::File::Mode::Truncate, status);
  if (!file) return status;
  created = true;
  status = file->setSize(metadata.size() + plan.dataAreaSize());
  if (status.ok()) status = file->writeAt(0, metadata.data(), metadata.size());
  if (status.ok() && !plan.fragments.empty())
    status = writeDataBlocks(plan, metadata.size(), *file);
  Status closed = file->close();
  return status.ok() ? closed : status;
}

Status writeFileBytes(const Content& content, uint32_t count, const io::Path& path,
                      std::vector<uint8_t>& buffer) {
  Status status;
  auto file = io::File::open(path, io::File::Mode::Truncate, status);
  if (!file) return status;
  for (uint64_t offset = 0; offset < count && status.ok(); offset += buffer.size()) {
    const auto n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), count - offset));
    content.fill(offset, buffer.data(), n);
    status = file->writeAt(offset, buffer.data(), n);
  }
  Status closed = file->close();
  return status.ok() ? closed : status;
}

}  // namespace

Status writePackage(const Node& root, const Options& options, const std::filesystem::path& target) {
  bool created = false;
  Status status = guarded(io::describe(target), [&]() {
    Plan plan;
    Status planned = makePlan(root, options, plan);
    if (!planned.ok()) return planned;
    std::vector<uint8_t> metadata;
    Status built = buildMetadata(plan, chunkChecksums(plan), options, metadata);
    if (!built.ok()) return built;
    Status written = writePackageFile(plan, metadata, target, created);
    if (written.ok() && options.type == PackageType::Ncf && !options.ncfContentRoot.empty())
      written = writeTree(root, options.ncfContentRoot);
    return written;
  });
  // Never leave a half-written package behind; a package refused before it was opened leaves
  // whatever was at `target` untouched.
  if (!status.ok() && created) io::removeFile(target);
  return status;
}

Status writeTree(const Node& root, const std::filesystem::path& folder) {
  return guarded(io::describe(folder), [&]() {
    // Planning as an NCF checks every name, so nothing lands outside `folder`.
    Options options;
    options.type = PackageType::Ncf;
    options.formatVersion = 1;
    Plan plan;
    Status status = makePlan(root, options, plan);
    if (!status.ok()) return status;

    uint32_t largest = 0;
    for (const PlannedItem& item : plan.items) largest = std::max(largest, item.storedBytes);
    std::vector<uint8_t> buffer(
        std::min<size_t>(std::max<uint32_t>(largest, 1), kWriteBufferBytes));
    // Breadth-first order creates every folder before anything inside it.
    std::vector<io::Path> paths(plan.items.size());
    paths[0] = folder;
    for (size_t i = 0; i < plan.items.size() && status.ok(); ++i) {
      const PlannedItem& item = plan.items[i];
      if (i > 0) paths[i] = paths[item.parent] / io::fromPackageName(item.node->name);
      status = item.node->isFile
                   ? writeFileBytes(item.node->content, item.storedBytes, paths[i], buffer)
                   : io::createFolder(paths[i]);
    }
    return status;
  });
}

}  // namespace hl::write
