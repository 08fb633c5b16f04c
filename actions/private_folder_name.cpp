// The names of the folders that hold the item commands' copies.
#include "actions/private_folder_name.h"

#include <cwchar>

namespace vaultpick {

namespace {

constexpr wchar_t kPrefix[] = L"vaultpick-";
constexpr size_t kTimeDigits = 16;

// Reads a run of digits of `base` at `at`, up to `limit` of them; false when there is none or
// the value does not fit.
bool readNumber(const std::wstring& text, size_t& at, unsigned base, size_t limit, uint64_t max,
                uint64_t& value) {
  const size_t start = at;
  value = 0;
  while (at < text.size() && at - start < limit) {
    const wchar_t c = text[at];
    unsigned digit = base;
    if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
    if (base == 16 && c >= L'A' && c <= L'F') digit = static_cast<unsigned>(c - L'A' + 10);
    if (digit >= base) break;
    if (value > (max - digit) / base) return false;
    value = value * base + digit;
    ++at;
  }
  return at > start;
}

}  // namespace

std::wstring privateFolderName(const RunIdentity& run, unsigned number) {
  wchar_t time[kTimeDigits + 1];
  std::swprintf(time, kTimeDigits + 1, L"%016llX",
                static_cast<unsigned long long>(run.creationTime));
  return kPrefix + std::to_wstring(run.processId) + L"-" + time + L"-" + std::to_wstring(number);
}

std::optional<RunIdentity> runOfPrivateFolder(const std::wstring& name) {
  if (name.compare(0, std::wcslen(kPrefix), kPrefix) != 0) return std::nullopt;
  size_t at = std::wcslen(kPrefix);
  uint64_t processId = 0, creationTime = 0, number = 0;
  if (!readNumber(name, at, 10, 10, UINT32_MAX, processId) || at >= name.size() ||
      name[at++] != L'-')
    return std::nullopt;
  const size_t timeStart = at;
  if (!readNumber(name, at, 16, kTimeDigits, UINT64_MAX, creationTime) ||
      at - timeStart != kTimeDigits || at >= name.size() || name[at++] != L'-')
    return std::nullopt;
  if (!readNumber(name, at, 10, 10, UINT32_MAX, number) || at != name.size()) return std::nullopt;
  return RunIdentity{static_cast<uint32_t>(processId), creationTime};
}

}  // namespace vaultpick
