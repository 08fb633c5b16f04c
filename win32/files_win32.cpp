// The program's paths for the Win32 file calls, plain-file questions and replacing a file
// through a sibling.
#include <windows.h>

#include "win32/files.h"

namespace vaultpick {

std::wstring win32Path(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  const DWORD length = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
  if (length == 0 || length >= size) return path;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) != 0) return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\.\\", 0) == 0 || full.rfind(L"\\\\?\\", 0) == 0) return full;
  return L"\\\\?\\UNC\\" + full.substr(2);
}

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(win32Path(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  constexpr DWORD kNotPlain =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  bool plain = false;
  do {
    plain = (found.dwFileAttributes & kNotPlain) == 0;
  } while (!plain && FindNextFileW(search, &found));
  FindClose(search);
  return plain;
}

bool replaceThroughSibling(const std::wstring& target, const std::wstring& partial,
                           const std::function<bool(const std::wstring& partial)>& write) {
  if (write(partial) &&
      MoveFileExW(win32Path(partial).c_str(), win32Path(target).c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  DeleteFileW(win32Path(partial).c_str());
  return false;
}

}  // namespace vaultpick
