// Text conversions between the command line, package names and messages.
#include "text.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace hlextract {

#if defined(_WIN32)
namespace {

std::string narrow(const std::wstring& word, UINT codePage) {
  if (word.empty()) return {};
  int length = WideCharToMultiByte(codePage, 0, word.data(), static_cast<int>(word.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, word.data(), static_cast<int>(word.size()), bytes.data(), length,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace

std::string toUtf8(const NativeString& word) { return narrow(word, CP_UTF8); }
std::string toPackageBytes(const NativeString& word) { return narrow(word, CP_ACP); }
#else
std::string toUtf8(const NativeString& word) { return word; }
std::string toPackageBytes(const NativeString& word) { return word; }
#endif

}  // namespace hlextract
