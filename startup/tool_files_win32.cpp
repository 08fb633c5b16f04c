// The files that the program carries inside itself and writes out at start.
#include <windows.h>

#include "startup/tool_files.h"
#include "ui/handles.h"

namespace vaultpick {

Payload loadPayload(const std::wstring& name) {
  Payload payload;
  // Resource names are found without regard to case: "HLExtract.exe" finds HLEXTRACT.EXE.
  HRSRC found = FindResourceW(nullptr, name.c_str(), L"CUSTOM");
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  payload.bytes = loaded ? LockResource(loaded) : nullptr;
  if (!payload.bytes) {
    payload.error = L"the program carries no resource " + name;
    return payload;
  }
  payload.size = SizeofResource(nullptr, found);
  return payload;
}

bool Entladen(const std::wstring& SaveServerTo, const std::wstring& Name) {
  Payload payload = loadPayload(Name);
  if (!payload.bytes) return false;
  const std::wstring target = SaveServerTo + L"\\" + Name;
  const std::wstring partial = SaveServerTo + L"\\~" + Name + L".new";
  UniqueHandle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  bool complete =
      WriteFile(file.get(), payload.bytes, static_cast<DWORD>(payload.size), &written, nullptr) &&
      written == payload.size;
  complete = file.close() && complete;
  if (complete && MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  DeleteFileW(partial.c_str());
  return false;
}

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

}  // namespace vaultpick
