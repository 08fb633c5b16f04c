// Reading the list file that the tool writes for a listing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vaultpick {

// The list's entries, each a NUL-terminated string inside the text that was split.
struct ListEntries {
  std::vector<const wchar_t*> entries;
  size_t characters = 0;  // all entries' characters together, terminators included
  bool complete = true;   // false when the reading stopped at a line too short to be an entry
};

// Splits the list file's text in place: each line (ended by CR LF, or by LF alone) without its
// first five characters, the tool's "root\", is one entry, in the file's order. Line ends are
// overwritten with NULs so the entries need no copies: a list of 100,000 files is one buffer.
// A line shorter than five characters was not written by the tool: the reading stops there and
// keeps the entries before it. The last line counts even without a line end.
ListEntries splitListText(std::wstring& text);

}  // namespace vaultpick
