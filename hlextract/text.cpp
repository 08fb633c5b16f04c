// Text conversions between the command line, package names and messages.
#include "text.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "code_page.h"
#endif

namespace hlextract {

#if defined(_WIN32)
namespace {

// `unspellable`, when given, is set when the code page had no byte for some character.
std::string narrow(const std::wstring& word, UINT codePage, BOOL* unspellable = nullptr) {
  if (word.empty()) return {};
  DWORD flags = unspellable ? WC_NO_BEST_FIT_CHARS : 0;
  int length = WideCharToMultiByte(codePage, flags, word.data(), static_cast<int>(word.size()),
                                   nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, word.data(), static_cast<int>(word.size()), bytes.data(),
                      length, nullptr, unspellable);
  return bytes;
}

}  // namespace

std::string toUtf8(const NativeString& word) { return narrow(word, CP_UTF8); }
bool toPackageBytes(const NativeString& word, std::string& bytes) {
  BOOL unspellable = FALSE;
  bytes = narrow(word, CP_ACP, &unspellable);
  return !unspellable;
}
std::string shownName(const std::string& packageBytes) { return packageBytes; }
#else
// The command line and the terminal speak UTF-8; packages spell names in Windows-1252.
std::string toUtf8(const NativeString& word) { return word; }
bool toPackageBytes(const NativeString& word, std::string& bytes) {
  return hl::utf8ToPackageName(word, bytes);
}
std::string shownName(const std::string& packageBytes) {
  return hl::packageNameToUtf8(packageBytes);
}
#endif

}  // namespace hlextract
