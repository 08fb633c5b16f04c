// The box after Extract whole GCF when entries were not extracted.
#include "actions/extract_report.h"

#include <algorithm>

#include "actions/item_names.h"
#include "resources/texts.h"
#include "toolbridge/command_lines.h"

namespace vaultpick {

namespace {

constexpr size_t kEntriesNamed = 10;

}  // namespace

std::wstring notExtractedText(size_t count, const std::vector<EntryFailure>& failures) {
  std::wstring text = std::to_wstring(failures.size()) + L" of " + std::to_wstring(count) +
                      text::kEntriesNotExtracted + L"\n";
  // One reason for all (the tool missing, the package unreadable) is said once, above them.
  const bool shared = std::all_of(failures.begin(), failures.end(), [&](const EntryFailure& f) {
    return f.reason == failures.front().reason;
  });
  if (shared && !failures.empty()) text += failures.front().reason + L"\n";
  for (size_t i = 0; i < failures.size() && i < kEntriesNamed; ++i) {
    text += L"\n" + shownName(toolItemPath(failures[i].entry));
    if (!shared) text += L": " + failures[i].reason;
  }
  if (failures.size() > kEntriesNamed)
    text += L"\n" + std::wstring(text::kMoreEntriesBefore) +
            std::to_wstring(failures.size() - kEntriesNamed) + text::kMoreEntriesAfter;
  return text;
}

}  // namespace vaultpick
