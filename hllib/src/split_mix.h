// SplitMix64, the small deterministic generator behind the writer's pseudo-random choices.
#pragma once

#include <cstdint>

namespace hl {

// Value `n` of the stream started by `seed`, computed directly so that a file's content can
// be produced from any offset without stepping through what comes before it.
inline uint64_t splitMix64(uint64_t seed, uint64_t n) {
  uint64_t z = seed + (n + 1) * 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace hl
