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

std::string toAnsiCodePage(const std::wstring& text) {
  if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
  const int size = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace vaultpick
