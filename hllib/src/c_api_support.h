// What every function of the C interface shares: the package handle, the thread's last message
// and handed-out text, and the one wrapper that keeps exceptions and null pointers out.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "call_guard.h"
#include "extract.h"
#include "hllib/hllib.h"
#include "package.h"
#include "status.h"

struct hl_package {
  std::unique_ptr<hl::Package> package;
};

struct hl_destination {
  std::unique_ptr<hl::Destination> destination;
};

namespace hl::capi {

// The status, its message kept for hl_last_message on this thread.
hl_status finish(const Status& status);

// Keeps `text` for the caller until the next call on this thread.
const char* handOut(std::string text);

inline Status nullArgument() { return {ErrorCode::Invalid, "a null handle or pointer was given"}; }

template <typename... Pointers>
bool anyNull(Pointers... pointers) {
  return ((pointers == nullptr) || ...);
}

// Runs `body` (returning Status) under the library's guard, refusing null arguments first.
template <typename Body, typename... Pointers>
hl_status call(const char* what, Body&& body, Pointers... required) noexcept {
  if (anyNull(required...)) return finish(nullArgument());
  return finish(guarded(what, body));
}

// The package of a handle, or a Status saying why there is none.
Status packageOf(const hl_package* handle, uint32_t item, const Package*& package);

inline std::filesystem::path pathFrom(const char* utf8) { return std::filesystem::u8path(utf8); }

}  // namespace hl::capi
