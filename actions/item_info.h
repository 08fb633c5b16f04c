// The text of the Info box about one entry of the list.
#pragma once

#include <string>

namespace vaultpick {

// "No" for a package whose extension is exactly "ncf", "Yes" for exactly "gcf", else empty.
std::wstring extractableText(const std::wstring& package);

struct ItemFacts {
  std::wstring package;      // the open package's full path
  std::wstring quote;        // the quote character the program puts around item paths
  std::wstring item;         // the selected entry; empty when none is selected
  int listIndex = -1;        // its index in the list; -1 when none is selected
  std::wstring description;  // from the item's version resource; empty when it has none
  std::wstring version;      // likewise
};

// Seven lines joined by CR LF: package name, item (both as shownName gives them), number,
// extractable, an empty line, description and file version ("Not available" for an empty value).
std::wstring infoText(const ItemFacts& facts);

}  // namespace vaultpick
