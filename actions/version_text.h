// Turning the facts of a version resource into the program's texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vaultpick {

unsigned HiWord(uint32_t word);
unsigned LoWord(uint32_t word);

// The file version in the program's dotted form: major, then minor with at least two digits,
// then build and revision with at least two digits each, or "0000" when both are 0.
// 5.1.2600.0 gives "5.01.2600.00"; 1.0.0.0 gives "1.00.0000".
std::wstring versionText(uint32_t fileVersionMS, uint32_t fileVersionLS);

// The first entry of a translation table (language, then code page, 16 bits each, little
// endian) as eight uppercase hex digits, language first: "040904B0". Empty when the table holds
// less than one entry.
std::wstring translationCode(const uint8_t* table, size_t length);

// Where the description of that translation lies in the version block.
std::wstring descriptionPath(const std::wstring& translation);

}  // namespace vaultpick
