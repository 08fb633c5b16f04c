// Text conversions between the command line, package names and messages.
#include "text.h"

#include "hllib/hllib.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace hlextract {

// Every byte of the package's code page has a character, so these round trips lose nothing.
std::string storedName(const std::string& name) {
  const char* stored = nullptr;
  return hl_name_from_utf8(name.c_str(), &stored) == HL_OK ? stored : name;
}
std::string utf8Name(const std::string& stored) {
  const char* text = nullptr;
  return hl_name_to_utf8(stored.c_str(), &text) == HL_OK ? text : stored;
}

std::string printable(const std::string& text) {
  std::string shown;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
    } else {
      shown += "\\x";
      shown += "0123456789ABCDEF"[byte >> 4];
      shown += "0123456789ABCDEF"[byte & 0xF];
    }
  }
  return shown;
}

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
// The word as the system's code page spells it is taken to be the package's own bytes.
bool toItemPath(const NativeString& word, std::string& path) {
  BOOL unspellable = FALSE;
  path = utf8Name(narrow(word, CP_ACP, &unspellable));
  return !unspellable;
}
std::string shownName(const std::string& name) { return printable(storedName(name)); }
#else
// The command line and the terminal speak UTF-8, as the library does.
std::string toUtf8(const NativeString& word) { return word; }
bool toItemPath(const NativeString& word, std::string& path) {
  path = word;
  return true;
}
std::string shownName(const std::string& name) { return printable(name); }
#endif

}  // namespace hlextract
