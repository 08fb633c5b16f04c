// The files that the program carries inside itself, and writing them out.
#include <windows.h>

#include "win32/files.h"
#include "win32/handles.h"
#include "win32/payload.h"

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
  const Payload payload = loadPayload(Name);
  if (!payload.bytes) return false;
  return replaceThroughSibling(
      SaveServerTo + L"\\" + Name, SaveServerTo + L"\\~" + Name + L".new",
      [&](const std::wstring& partial) {
        UniqueHandle file(CreateFileW(win32Path(partial).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written = 0;
        const bool complete = WriteFile(file.get(), payload.bytes, static_cast<DWORD>(payload.size),
                                        &written, nullptr) &&
                              written == payload.size;
        return file.close() && complete;
      });
}

}  // namespace vaultpick
