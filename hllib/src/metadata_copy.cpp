// The in-memory copy of a package's metadata, read in chunks as it is first needed.
#include "metadata_copy.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace hl {

Status MetadataCopy::open(const io::File& file, uint64_t size) {
  file_ = &file;
  size_ = size;
  uint64_t chunks = (size + kChunkSize - 1) / kChunkSize;
  if (size <= SIZE_MAX) {
    // Not zeroed: pages never read are never touched.
    bytes_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    chunkRead_.reset(new (std::nothrow) std::atomic<bool>[static_cast<size_t>(chunks)]());
  }
  if (!bytes_ || !chunkRead_)
    return {ErrorCode::OpenFailed,
            "not enough memory to read the package's tables (" + std::to_string(size) + " bytes)"};
  return {};
}

const uint8_t* MetadataCopy::readChunks(uint64_t offset, uint64_t size) const {
  const uint64_t last = (offset + size + kChunkSize - 1) / kChunkSize;
  std::lock_guard<std::mutex> lock(mutex_);
  // Each run of chunks not read yet is read at once: a walk's whole directory in one call.
  for (uint64_t chunk = offset / kChunkSize; chunk < last;) {
    if (chunkRead_[chunk].load(std::memory_order_relaxed)) {
      ++chunk;
      continue;
    }
    uint64_t end = chunk + 1;
    while (end < last && !chunkRead_[end].load(std::memory_order_relaxed)) ++end;
    readRun(chunk, end);
    chunk = end;
  }
  return at(offset);
}

std::string_view MetadataCopy::readTextAcrossChunks(uint64_t offset, uint64_t limit) const {
  const uint64_t end = offset + limit;
  for (uint64_t from = offset; from < end;) {
    uint64_t to = std::min(end, (from / kChunkSize + 1) * kChunkSize);
    const void* nul = std::memchr(read(from, to - from), 0, static_cast<size_t>(to - from));
    if (nul)
      return {reinterpret_cast<const char*>(at(offset)),
              static_cast<size_t>(static_cast<const uint8_t*>(nul) - at(offset))};
    from = to;
  }
  return {reinterpret_cast<const char*>(at(offset)), static_cast<size_t>(limit)};
}

void MetadataCopy::readAll() const { read(0, size_); }

Status MetadataCopy::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void MetadataCopy::readRun(uint64_t first, uint64_t end) const {
  const uint64_t start = first * kChunkSize, stop = std::min(size_, end * kChunkSize);
  Status result = file_->readAt(start, bytes_.get() + start, static_cast<size_t>(stop - start));
  if (!result.ok()) {
    std::memset(bytes_.get() + start, 0, static_cast<size_t>(stop - start));
    if (status_.ok()) status_ = result;
  }
  for (uint64_t chunk = first; chunk < end; ++chunk)
    chunkRead_[chunk].store(true, std::memory_order_release);
}

}  // namespace hl
