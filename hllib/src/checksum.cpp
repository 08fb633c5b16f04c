// The per-chunk content checksum, built on zlib's Adler-32 and CRC-32.
#include "checksum.h"

#include <zlib.h>

#include <algorithm>

namespace hl {

uint32_t chunkChecksum(const uint8_t* data, size_t size) noexcept {
  // zlib takes uInt lengths, so a buffer over 4 GiB is fed in slices. Starting Adler-32 at 0
  // (not 1) is what packages store; a chunk of length 0 therefore sums to 0 ^ 0.
  constexpr size_t kSlice = size_t{1} << 30;
  uLong adler = 0;
  uLong crc = 0;
  while (size > 0) {
    auto n = static_cast<uInt>(std::min(size, kSlice));
    adler = adler32(adler, data, n);
    crc = crc32(crc, data, n);
    data += n;
    size -= n;
  }
  return static_cast<uint32_t>(adler ^ crc);
}

}  // namespace hl
