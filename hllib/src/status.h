// The outcome of a library call: success, or what went wrong and a message naming it.
// The library reports failures this way and never lets an exception leave a call that returns
// a Status. Calls that answer with a name, a path or a count (Package::name, find, path,
// fileCountBelow, the code page conversions) may throw std::bad_alloc when memory runs out.
#pragma once

#include <string>
#include <utility>

namespace hl {

enum class ErrorCode {
  Ok,
  OpenFailed,    // the file could not be opened or read
  NotAPackage,   // the bytes are not a GCF or NCF package at all
  Unsupported,   // a package of a format version this library cannot read
  Damaged,       // a package whose structure contradicts itself or its file
  ItemNotFound,  // no item with the requested path
  Incomplete,    // fewer bytes stored than the item's size
  Encrypted,     // content that needs a key this library does not have
  UnsafeName,    // an item name that could escape the destination folder
  WriteFailed,   // writing output failed (disk full, no permission...)
  Invalid,       // a request that makes no sense (a folder where a file is needed...)
  InUse,         // another run or program holds the package
  Refused,       // a package this library will not rewrite: it would not understand the result
  Exists,        // the target already exists and was asked to be kept
  NameClash,     // an item whose name is already taken in its folder by an earlier item
  Unexpected,    // an exception inside the call: a throwing callback, or no memory left
  Cancelled,     // a caller's callback asked to stop (see Cancelled in call_guard.h)
};

class Status {
 public:
  Status() = default;
  Status(ErrorCode code, std::string message) : code_(code), message_(std::move(message)) {}

  // ErrorCode::Damaged because the file ends before a structure it declares: cut short (an
  // unfinished copy, say) rather than laid out in a way this library does not know.
  static Status truncation(std::string message) {
    Status status(ErrorCode::Damaged, std::move(message));
    status.truncated_ = true;
    return status;
  }

  bool ok() const noexcept { return code_ == ErrorCode::Ok; }
  ErrorCode code() const noexcept { return code_; }
  const std::string& message() const noexcept { return message_; }
  bool truncated() const noexcept { return truncated_; }

  // The same failure, caused by the system's error `error` (errno, or GetLastError()).
  Status withSystemError(long error) && {
    systemError_ = error;
    return std::move(*this);
  }
  // The system's error number behind the failure; 0 when the system gave none.
  long systemError() const noexcept { return systemError_; }

 private:
  ErrorCode code_ = ErrorCode::Ok;
  std::string message_;
  bool truncated_ = false;
  long systemError_ = 0;
};

}  // namespace hl
