// The one guard around every public entry point of the library: whatever a call's body or a
// caller's callback throws ends the call with a failing Status, never as an exception.
#pragma once

#include <exception>
#include <new>
#include <string>

#include "status.h"

namespace hl {

// Thrown by a caller's callback to stop the call it was given to. Every callback is called
// where unwinding leaves nothing half done: a file being written is not yet in place, a package
// being rewritten not yet replaced.
struct Cancelled {};

// Runs `body` (returning Status) and turns Cancelled into ErrorCode::Cancelled and any other
// exception into ErrorCode::Unexpected, naming `what` the call was doing. Clean-up is the body's
// own: its objects unwind before this returns.
template <typename Body>
Status guarded(const char* what, Body&& body) noexcept {
  try {
    return body();
  } catch (const Cancelled&) {
    return Status(ErrorCode::Cancelled, std::string(what) + " cancelled by the caller");
  } catch (const std::bad_alloc&) {
    return Status(ErrorCode::Unexpected, std::string(what) + " failed: out of memory");
  } catch (const std::exception& error) {
    return Status(ErrorCode::Unexpected, std::string(what) + " failed: " + error.what());
  } catch (...) {
    return Status(ErrorCode::Unexpected, std::string(what) + " failed: an unknown exception");
  }
}

}  // namespace hl
