// The text of the Info box.
#include "actions/item_info.h"

#include "actions/item_names.h"
#include "toolbridge/command_lines.h"

namespace vaultpick {

namespace {

constexpr wchar_t kNotAvailable[] = L"Not available";

const std::wstring& orNotAvailable(const std::wstring& value) {
  static const std::wstring notAvailable = kNotAvailable;
  return value.empty() ? notAvailable : value;
}

}  // namespace

std::wstring extractableText(const std::wstring& package) {
  const std::wstring extension = packageExtension(package);
  if (extension == L"ncf") return L"No";
  if (extension == L"gcf") return L"Yes";
  return L"";
}

std::wstring infoText(const ItemFacts& facts) {
  return L"GCF File: \t\t" + shownName(packageName(facts.package)) + L"\r\n" + L"File: \t\t" +
         facts.quote + shownName(toolItemPath(facts.item)) + facts.quote + L"\r\n" +
         L"Number: \t\t" + std::to_wstring(facts.listIndex + 1) + L"\r\n" + L"Extractable: \t" +
         extractableText(facts.package) + L"\r\n" + L"\r\n" + L"Description: \t" +
         orNotAvailable(facts.description) + L"\r\n" + L"File Version: \t" +
         orNotAvailable(facts.version);
}

}  // namespace vaultpick
