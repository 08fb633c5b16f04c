// Which item names may become file names: nothing a package holds may lead outside the
// folder it is extracted into, on any platform. Header only, for single-byte names (the
// package's) and wide ones (the program's list entries) alike.
#pragma once

#include <string_view>
#include <type_traits>

namespace hl {

namespace names_detail {

// A character's code, single bytes taken as unsigned.
template <typename Char>
unsigned long codeOf(Char c) {
  return static_cast<unsigned long>(static_cast<std::make_unsigned_t<Char>>(c));
}

template <typename Char>
bool isDeviceName(std::basic_string_view<Char> name) {
  // Windows treats these as devices even with an extension ("nul.txt") or trailing spaces.
  std::basic_string_view<Char> base = name.substr(0, name.find(Char('.')));
  while (!base.empty() && base.back() == Char(' ')) base.remove_suffix(1);
  if (base.size() > 7) return false;
  char upper[8] = {};
  for (size_t i = 0; i < base.size(); ++i) {
    const unsigned long c = codeOf(base[i]);
    if (c > 0x7F) return false;  // device names are plain ASCII
    upper[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  const std::string_view word(upper, base.size());
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (word == device) return true;
  const bool numbered =
      word.size() == 4 && (word.substr(0, 3) == "COM" || word.substr(0, 3) == "LPT");
  return numbered && word[3] >= '0' && word[3] <= '9';
}

}  // namespace names_detail

// False for names that are empty, "." or "..", hold separators, drive colons, control or
// wildcard characters, end in a dot or space (Windows drops those), or name a Windows device.
template <typename Char>
bool isSafeName(std::basic_string_view<Char> name) {
  if (name.empty()) return false;
  if (name.size() <= 2 && name.find_first_not_of(Char('.')) == name.npos) return false;
  for (Char c : name) {
    const unsigned long code = names_detail::codeOf(c);
    if (code < 0x20 || code == 0x7F) return false;
    for (char forbidden : std::string_view("/\\:<>\"|?*"))
      if (code == static_cast<unsigned long>(forbidden)) return false;
  }
  if (name.back() == Char('.') || name.back() == Char(' ')) return false;
  return !names_detail::isDeviceName(name);
}

inline bool isSafeName(std::string_view name) { return isSafeName<char>(name); }
inline bool isSafeName(std::wstring_view name) { return isSafeName<wchar_t>(name); }

}  // namespace hl
