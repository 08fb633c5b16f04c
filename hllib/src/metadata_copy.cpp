// The in-memory copy of a package's metadata, read in chunks as it is first needed.
#include "metadata_copy.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace hl {

Status MetadataCopy::open(const io::File& file, uint64_t size, uint64_t eagerStart,
                          uint64_t eagerEnd) {
  file_ = &file;
  size_ = size;
  eagerStart_ = eagerStart;
  eagerEnd_ = eagerEnd;
  uint64_t chunks = (size + kChunkSize - 1) / kChunkSize;
  if (size <= SIZE_MAX) {
    // Not zeroed: pages never read are never touched.
    bytes_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    chunkRead_.reset(new (std::nothrow) std::atomic<bool>[static_cast<size_t>(chunks)]());
  }
  if (!bytes_ || !chunkRead_)
    return {ErrorCode::OpenFailed,
            "not enough memory to read the package's tables (" + std::to_string(size) + " bytes)"};
  return file.readAt(eagerStart, bytes_.get() + eagerStart,
                     static_cast<size_t>(eagerEnd - eagerStart));
}

const uint8_t* MetadataCopy::read(uint64_t offset, uint64_t size) const {
  for (uint64_t chunk = offset / kChunkSize; chunk * kChunkSize < offset + size; ++chunk)
    if (!chunkRead_[chunk].load(std::memory_order_acquire)) readChunk(chunk);
  return at(offset);
}

std::string_view MetadataCopy::readText(uint64_t offset, uint64_t limit) const {
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

void MetadataCopy::readChunk(uint64_t chunk) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (chunkRead_[chunk].load(std::memory_order_relaxed)) return;
  uint64_t start = chunk * kChunkSize, end = std::min(size_, start + kChunkSize);
  // The range read at opening stays as it was checked, whatever the file holds now.
  auto readRange = [&](uint64_t from, uint64_t to) {
    if (from >= to) return;
    Status result = file_->readAt(from, bytes_.get() + from, static_cast<size_t>(to - from));
    if (result.ok()) return;
    std::memset(bytes_.get() + from, 0, static_cast<size_t>(to - from));
    if (status_.ok()) status_ = result;
  };
  readRange(start, std::min(end, eagerStart_));
  readRange(std::max(start, eagerEnd_), end);
  chunkRead_[chunk].store(true, std::memory_order_release);
}

}  // namespace hl
