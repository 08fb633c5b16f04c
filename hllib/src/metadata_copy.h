// A package's metadata held in memory. A copy rather than a mapping: another program that
// shortens or rewrites the file cannot pull it from under a walk, and bytes once checked stay as
// they were checked. Read in chunks as they are first needed, so a lookup reads little more
// than the entries on its way; the room for the rest is reserved but never touched.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>

#include "file_io.h"

namespace hl {

class MetadataCopy {
 public:
  // Room for the first `size` bytes of `file`, none of them read yet.
  Status open(const io::File& file, uint64_t size);

  // Bytes of a range already made sure of with read().
  const uint8_t* at(uint64_t offset) const { return bytes_.get() + offset; }
  // Makes sure [offset, offset + size) has been read and gives its first byte. A read that
  // fails leaves zeros there, which no check takes for a valid table, and sets status().
  const uint8_t* read(uint64_t offset, uint64_t size) const {
    // Inline for the common case, a few bytes of one chunk already read: walks decode entries
    // by the hundred thousand.
    const uint64_t chunk = offset / kChunkSize;
    if (size != 0 && chunk == (offset + size - 1) / kChunkSize &&
        chunkRead_[chunk].load(std::memory_order_acquire))
      return at(offset);
    return readChunks(offset, size);
  }
  // The NUL-terminated text at `offset`, read as far as its NUL and never past `limit` bytes.
  std::string_view readText(uint64_t offset, uint64_t limit) const {
    // Inline for the common case, a name that ends inside a chunk already read.
    const uint64_t chunk = offset / kChunkSize;
    if (limit != 0 && chunkRead_[chunk].load(std::memory_order_acquire)) {
      const size_t inChunk =
          static_cast<size_t>(std::min(limit, (chunk + 1) * kChunkSize - offset));
      const char* text = reinterpret_cast<const char*>(at(offset));
      if (const void* nul = std::memchr(text, 0, inChunk))
        return {text, static_cast<size_t>(static_cast<const char*>(nul) - text)};
    }
    return readTextAcrossChunks(offset, limit);
  }
  void readAll() const;
  // The first read that failed, or Ok.
  Status status() const;

 private:
  // A page: a lookup keeps little more than the entries and names on its way.
  static constexpr uint64_t kChunkSize = 4096;
  const uint8_t* readChunks(uint64_t offset, uint64_t size) const;
  std::string_view readTextAcrossChunks(uint64_t offset, uint64_t limit) const;
  // Reads chunks [first, end), with mutex_ held.
  void readRun(uint64_t first, uint64_t end) const;

  const io::File* file_ = nullptr;
  uint64_t size_ = 0;
  std::unique_ptr<uint8_t[]> bytes_;
  std::unique_ptr<std::atomic<bool>[]> chunkRead_;
  mutable std::mutex mutex_;  // guards reads and status_
  mutable Status status_;
};

}  // namespace hl
