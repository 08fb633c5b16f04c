// The version resource reader, on the system's version library.
#include <windows.h>

#include <vector>

#include "actions/version_reader.h"
#include "actions/version_text.h"

namespace vaultpick {

namespace {

// A file's whole version block, or nothing when it has none.
std::vector<uint8_t> versionBlock(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
  return block;
}

// A value of the block: where it lies and how long it is; length 0 when it is not there.
struct Value {
  const uint8_t* at = nullptr;
  UINT length = 0;
};

Value queryValue(std::vector<uint8_t>& block, const std::wstring& subBlock) {
  Value value;
  void* at = nullptr;
  if (!VerQueryValueW(block.data(), subBlock.c_str(), &at, &value.length) || at == nullptr)
    return {};
  value.at = static_cast<const uint8_t*>(at);
  return value;
}

}  // namespace

std::wstring GetFileVersionString(const std::wstring& path) {
  std::vector<uint8_t> block = versionBlock(path);
  if (block.empty()) return L"";
  const Value root = queryValue(block, L"\\");
  if (root.length < sizeof(VS_FIXEDFILEINFO)) return L"";
  VS_FIXEDFILEINFO fixed;
  CopyMemory(&fixed, root.at, sizeof fixed);
  return versionText(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
}

std::wstring GetFileDescription(const std::wstring& path) {
  if (path.empty()) return L"";
  std::vector<uint8_t> block = versionBlock(path);
  if (block.empty()) return L"";
  const Value table = queryValue(block, L"\\VarFileInfo\\Translation");
  const std::wstring translation = translationCode(table.at, table.length);
  if (translation.empty()) return L"";
  const Value description = queryValue(block, descriptionPath(translation));
  if (description.length == 0) return L"";
  // The wide query gives the string's length in characters, its terminator included.
  const auto* text = reinterpret_cast<const wchar_t*>(description.at);
  return std::wstring(text, wcsnlen(text, description.length));
}

}  // namespace vaultpick
