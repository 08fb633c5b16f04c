// The program's texts for version facts.
#include "actions/version_text.h"

#include <cwchar>

namespace vaultpick {

namespace {

std::wstring atLeastTwoDigits(unsigned number) {
  std::wstring digits = std::to_wstring(number);
  return digits.size() < 2 ? L"0" + digits : digits;
}

std::wstring twoHexDigits(uint8_t byte) {
  wchar_t digits[3];
  std::swprintf(digits, 3, L"%02X", static_cast<unsigned>(byte));
  return digits;
}

}  // namespace

unsigned HiWord(uint32_t word) { return word >> 16; }
unsigned LoWord(uint32_t word) { return word & 0xFFFFU; }

std::wstring versionText(uint32_t fileVersionMS, uint32_t fileVersionLS) {
  std::wstring text = std::to_wstring(HiWord(fileVersionMS)) + L"." +
                      atLeastTwoDigits(LoWord(fileVersionMS)) + L".";
  if (fileVersionLS == 0) return text + L"0000";
  return text + atLeastTwoDigits(HiWord(fileVersionLS)) + L"." +
         atLeastTwoDigits(LoWord(fileVersionLS));
}

std::wstring translationCode(const uint8_t* table, size_t length) {
  if (table == nullptr || length < 4) return L"";
  // Each 16-bit half high byte first.
  return twoHexDigits(table[1]) + twoHexDigits(table[0]) + twoHexDigits(table[3]) +
         twoHexDigits(table[2]);
}

std::wstring descriptionPath(const std::wstring& translation) {
  return L"\\StringFileInfo\\" + translation + L"\\FileDescription";
}

}  // namespace vaultpick
