// The few facts of its surroundings that the program reads.
#include <windows.h>

#include <limits>

#include "toolbridge/environment.h"

namespace vaultpick {

std::wstring temporaryFolder() {
  DWORD size = GetEnvironmentVariableW(L"TEMP", nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  DWORD length = GetEnvironmentVariableW(L"TEMP", value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring fromAnsiCodePage(const char* bytes, size_t size) {
  if (size == 0 || size > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), text.data(), length);
  return text;
}

}  // namespace vaultpick
