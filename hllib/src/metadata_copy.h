// A package's metadata held in memory. A copy rather than a mapping: another program that
// shortens or rewrites the file cannot pull it from under a walk. One range (the directory's
// entries, which opening checks one by one) is read at once; the rest in chunks when first
// needed, so a lookup or a listing reads little more than it uses.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "file_io.h"

namespace hl {

class MetadataCopy {
 public:
  // Room for the first `size` bytes of `file`, of which [eagerStart, eagerEnd) are read now.
  Status open(const io::File& file, uint64_t size, uint64_t eagerStart, uint64_t eagerEnd);

  // Bytes of the range read at opening, or of a range already made sure of with read().
  const uint8_t* at(uint64_t offset) const { return bytes_.get() + offset; }
  // Makes sure [offset, offset + size) has been read and gives its first byte. A read that
  // fails leaves zeros there, which no check takes for a valid table, and sets status().
  const uint8_t* read(uint64_t offset, uint64_t size) const;
  // The NUL-terminated text at `offset`, read as far as its NUL and never past `limit` bytes.
  std::string_view readText(uint64_t offset, uint64_t limit) const;
  void readAll() const;
  // The first read that failed, or Ok.
  Status status() const;

 private:
  static constexpr uint64_t kChunkSize = uint64_t{64} * 1024;
  void readChunk(uint64_t chunk) const;

  const io::File* file_ = nullptr;
  uint64_t size_ = 0, eagerStart_ = 0, eagerEnd_ = 0;
  std::unique_ptr<uint8_t[]> bytes_;
  std::unique_ptr<std::atomic<bool>[]> chunkRead_;
  mutable std::mutex mutex_;  // guards chunk reads and status_
  mutable Status status_;
};

}  // namespace hl
