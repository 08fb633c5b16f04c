// Explicit little-endian decoding and encoding: package bytes are never cast to structs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hl {

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void putLe32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// The additive check value of the small headers: a wrapping sum of their leading u32 fields.
inline uint32_t fieldSum(const uint8_t* p, uint32_t fieldCount) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < fieldCount; ++i) sum += le32(p + size_t{4} * i);
  return sum;
}

// The file header's check value: a wrapping sum of its leading bytes.
inline uint32_t byteSum(const uint8_t* p, uint32_t byteCount) {
  uint32_t sum = 0;
  for (uint32_t i = 0; i < byteCount; ++i) sum += p[i];
  return sum;
}

}  // namespace hl
