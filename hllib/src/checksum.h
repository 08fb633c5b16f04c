// The per-chunk content checksum that packages store for every file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hllib/export.h"

namespace hl {

// Adler-32 started from 0 (not the usual 1) XOR CRC-32, over one chunk of a file's bytes.
HLLIB_API uint32_t chunkChecksum(const uint8_t* data, size_t size) noexcept;

}  // namespace hl
