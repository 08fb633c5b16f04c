// The per-chunk content checksum against known answers computed with zlib.
#include "checksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> counting(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

TEST(ChunkChecksum, MatchesKnownAnswers) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t expected;
    uint32_t adlerSeededWithOne;  // what the most likely fault gives instead; 0 when unknown
  };
  const std::vector<uint8_t> counted = counting(32769);
  const Case cases[] = {
      {"a", {'a'}, 0xE8D6BE22, 0xE8D5BE21},
      {"abc", {'a', 'b', 'c'}, 0x376E40E4, 0x376940E5},
      {"32 KiB of 0x00", std::vector<uint8_t>(32768, 0x00), 0x011FFCA6, 0x811FFCA7},
      {"32 KiB of 0xFF", std::vector<uint8_t>(32768, 0xFF), 0xE4F06DCC, 0x64816DCF},
      {"counting, chunk 0", {counted.begin(), counted.begin() + 32768}, 0x9EBAE503, 0},
      {"counting, chunk 1", {counted.begin() + 32768, counted.end()}, 0xD202EF8D, 0},
      {"empty", {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const uint32_t actual = hl::chunkChecksum(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(actual, c.expected);
    if (c.adlerSeededWithOne != 0) {
      EXPECT_NE(actual, c.adlerSeededWithOne) << "Adler-32 was started at 1 instead of 0";
    }
  }
}

}  // namespace
