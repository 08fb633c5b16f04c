// The parts of package paths and item paths.
#include "actions/item_names.h"

#include <string_view>

#include "names.h"

namespace vaultpick {

namespace {

std::wstring afterLast(const std::wstring& text, wchar_t mark) {
  const size_t at = text.rfind(mark);
  return at == std::wstring::npos ? text : text.substr(at + 1);
}

}  // namespace

std::wstring packageExtension(const std::wstring& package) { return afterLast(package, L'.'); }

bool isNcfPackage(const std::wstring& package) { return packageExtension(package) == L"ncf"; }

bool hasPackageExtension(const std::wstring& path) {
  if (path.size() < 4 || path[path.size() - 4] != L'.') return false;
  std::wstring extension = path.substr(path.size() - 3);
  for (wchar_t& c : extension)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return extension == L"gcf" || extension == L"ncf";
}

std::wstring packageName(const std::wstring& package) { return afterLast(package, L'\\'); }

std::wstring itemFileName(const std::wstring& item) { return afterLast(item, L'\\'); }

std::wstring shownName(const std::wstring& name) {
  static constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
  std::wstring shown;
  shown.reserve(name.size());
  for (const wchar_t c : name) {
    if (c < L' ' || c == L'\x7F')
      shown += {L'\\', L'x', kHexDigits[(c >> 4) & 0xF], kHexDigits[c & 0xF]};
    else
      shown += c;
  }
  return shown;
}

std::optional<ItemDestination> itemDestination(const std::wstring& destination,
                                               const std::wstring& item) {
  const size_t last = item.rfind(L'\\');
  ItemDestination result;
  result.folderPart = last == std::wstring::npos ? L"" : item.substr(0, last + 1);
  // Each folder on the way must be a plain name, or the tool's file could land elsewhere.
  std::wstring_view rest(result.folderPart);
  while (!rest.empty()) {
    const size_t end = rest.find(L'\\');
    if (!hl::isSafeName(rest.substr(0, end))) return std::nullopt;
    rest.remove_prefix(end + 1);
  }
  // A drive root comes with its backslash; no second one is added after it.
  result.folder = destination;
  if (!result.folder.empty() && result.folder.back() != L'\\' && !result.folderPart.empty())
    result.folder += L'\\';
  result.folder += result.folderPart;
  if (!result.folderPart.empty()) result.folder.pop_back();
  return result;
}

}  // namespace vaultpick
