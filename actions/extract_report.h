// The box after Extract whole GCF when entries were not extracted.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vaultpick {

struct EntryFailure {
  std::wstring entry;  // as the list shows it
  std::wstring reason;
};

// "<n> of <count> entries were not extracted:", then the first ten as "root\<entry>: <reason>",
// one a line, and how many more there are. When all share one reason, it follows the first line
// and the entries stand alone. Entries are shown as shownName gives them.
std::wstring notExtractedText(size_t count, const std::vector<EntryFailure>& failures);

}  // namespace vaultpick
