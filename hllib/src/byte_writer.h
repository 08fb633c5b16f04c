// A growing byte buffer for building package metadata, written field by field little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "byte_order.h"

namespace hl {

class ByteWriter {
 public:
  // Appends `count` zero bytes and returns where they start, so that a structure is filled in
  // through its field offsets and unset fields stay zero.
  size_t append(size_t count) {
    size_t start = bytes_.size();
    bytes_.resize(start + count);
    return start;
  }
  void put32(size_t offset, uint32_t value) { putLe32(bytes_.data() + offset, value); }
  void add32(uint32_t value) { put32(append(4), value); }
  void addBytes(const void* data, size_t count) {
    size_t start = append(count);
    if (count > 0) std::memcpy(bytes_.data() + start, data, count);
  }
  // Stores at `checksumOffset` the wrapping sum of the `fieldCount` u32 fields at `start`.
  void putFieldSum(size_t start, uint32_t fieldCount, size_t checksumOffset) {
    put32(checksumOffset, fieldSum(bytes_.data() + start, fieldCount));
  }

  size_t size() const { return bytes_.size(); }
  const uint8_t* data() const { return bytes_.data(); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace hl
