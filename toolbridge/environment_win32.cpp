// The few facts of its surroundings that the program reads.
#include <windows.h>

#include <limits>

#include "toolbridge/environment.h"

namespace vaultpick {

std::wstring environmentVariable(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring temporaryFolder() { return environmentVariable(L"TEMP"); }

std::wstring systemFolder() { return environmentVariable(L"SystemRoot") + L"\\system32"; }

std::wstring ownExecutablePath() {
  // The system truncates a path longer than the buffer without saying how long it is, so the
  // buffer grows until the path fits; the wide API takes paths of up to 32,767 characters.
  for (DWORD size = 512; size <= 65536; size *= 2) {
    std::wstring path(size, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), size);
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
  }
  return {};
}

std::wstring fromAnsiCodePage(const char* bytes, size_t size) {
  if (size == 0 || size > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
  int length = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), nullptr, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(size), text.data(), length);
  return text;
}

namespace {

std::string toCodePage(const std::wstring& text, UINT codePage) {
  if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
  const int size = static_cast<int>(text.size());
  int length = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace

std::string toAnsiCodePage(const std::wstring& text) { return toCodePage(text, CP_ACP); }

std::string toUtf8(const std::wstring& text) { return toCodePage(text, CP_UTF8); }

std::wstring fromToolText(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    return {};
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return fromAnsiCodePage(bytes.data(), bytes.size());
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, text.data(), length);
  return text;
}

}  // namespace vaultpick
