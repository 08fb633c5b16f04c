// Plain-file questions and replacing a file through a sibling.
#include <windows.h>

#include "win32/files.h"

namespace vaultpick {

bool FileExists(const std::wstring& path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
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
  if (write(partial) && MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  DeleteFileW(partial.c_str());
  return false;
}

}  // namespace vaultpick
