// Reading the list file that the tool writes for a listing.
#include "toolbridge/list_file.h"

namespace vaultpick {

namespace {

constexpr size_t kRootPrefixLength = 5;  // "root\"

}  // namespace

ListEntries splitListText(std::wstring& text) {
  ListEntries list;
  // Room for a terminator after an unended last line, so no entry's pointer moves later.
  text.reserve(text.size() + 1);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) {
      // The last line has no line end: give it a terminator of its own.
      end = text.size();
      text.push_back(L'\0');
    }
    size_t lineEnd = end;
    if (lineEnd > start && text[lineEnd - 1] == L'\r') --lineEnd;
    if (lineEnd - start < kRootPrefixLength) {
      list.complete = false;
      break;
    }
    text[lineEnd] = L'\0';
    list.entries.push_back(text.data() + start + kRootPrefixLength);
    list.characters += lineEnd - start - kRootPrefixLength + 1;
    start = end + 1;
  }
  return list;
}

}  // namespace vaultpick
