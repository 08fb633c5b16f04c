// The parts of package paths and item paths.
#include "actions/item_names.h"

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

std::wstring itemFolders(const std::wstring& item) {
  const size_t last = item.rfind(L'\\');
  return last == std::wstring::npos ? L"" : item.substr(0, last);
}

}  // namespace vaultpick
