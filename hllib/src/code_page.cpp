// Conversion of item names between the packages' single-byte code page and UTF-8.
#include "code_page.h"

#include <cstdint>
#include <utility>

namespace hl {
namespace {

// Windows-1252's characters for bytes 0x80 to 0x9F; from 0xA0 on it agrees with Unicode.
// The unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own numbers.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint32_t characterOf(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

// The byte that spells `character`, or -1 when the code page has none.
int byteOf(uint32_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
    return static_cast<int>(character);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] == character) return 0x80 + i;
  return -1;
}

void appendUtf8(uint32_t character, std::string& out) {
  if (character < 0x80) {
    out += static_cast<char>(character);
  } else if (character < 0x800) {
    out += static_cast<char>(0xC0 | (character >> 6));
    out += static_cast<char>(0x80 | (character & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (character >> 12));
    out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (character & 0x3F));
  }
}

// Decodes the UTF-8 character at `at`, advancing it; false on anything that is not strict
// UTF-8 (stray or missing continuation bytes, overlong forms, surrogates, past U+10FFFF).
bool nextCharacter(std::string_view text, size_t& at, uint32_t& character) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  size_t length = lead < 0x80                   ? 1
                  : lead >= 0xC2 && lead < 0xE0 ? 2
                  : lead >= 0xE0 && lead < 0xF0 ? 3
                  : lead >= 0xF0 && lead < 0xF5 ? 4
                                                : 0;
  if (length == 0 || text.size() - at < length) return false;
  static constexpr uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  character = lead & kLeadMask[length];
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return false;
    character = (character << 6) | (byte(at + i) & 0x3F);
  }
  static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (character < kSmallest[length] || character > 0x10FFFF ||
      (character >= 0xD800 && character < 0xE000))
    return false;
  at += length;
  return true;
}

}  // namespace

std::string packageNameToUtf8(std::string_view name) {
  std::string text;
  text.reserve(name.size());
  for (char c : name) appendUtf8(characterOf(static_cast<uint8_t>(c)), text);
  return text;
}

bool utf8ToPackageName(std::string_view text, std::string& name) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    uint32_t character = 0;
    if (!nextCharacter(text, at, character)) {
      name.assign(text);  // not UTF-8: already the package's own bytes
      return true;
    }
    int byte = byteOf(character);
    if (byte < 0) return false;
    bytes += static_cast<char>(byte);
  }
  name = std::move(bytes);
  return true;
}

}  // namespace hl
