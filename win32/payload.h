// The files that the program carries inside itself (the tool, its library, the control
// libraries) and writes out where they are needed.
#pragma once

#include <string>

namespace vaultpick {

// The bytes of the resource `name` of type "CUSTOM" in the running program, or an error that
// names it. The bytes stay valid for as long as the program runs.
struct Payload {
  const void* bytes = nullptr;
  size_t size = 0;
  std::wstring error;
};
Payload loadPayload(const std::wstring& name);

// Writes the resource `Name` to SaveServerTo\Name, replacing any file of that name, on every
// call. The new bytes go to a sibling first and replace the old file in one step, so a write
// that fails (no room, the file in use by a running tool) leaves the old file as it was.
bool Entladen(const std::wstring& SaveServerTo, const std::wstring& Name);

}  // namespace vaultpick
