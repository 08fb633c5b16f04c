// A thin C++ layer over the C interface (hllib.h), header only: the package handle closes
// itself, text comes back as std::string, and callbacks are any callable. Nothing here is
// exported; every call goes through the C functions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

#include "hllib/hllib.h"

namespace hllib {

// A call's outcome with the message the library gave for it.
struct Status {
  hl_status code = HL_OK;
  std::string message;
  bool ok() const { return code == HL_OK; }
};

inline Status statusOf(hl_status code) { return {code, code == HL_OK ? "" : hl_last_message()}; }

// Paths go to the library as UTF-8.
inline std::string utf8Path(const std::filesystem::path& path) { return path.u8string(); }

// Text the library hands out through `call(const char**)`, copied before the next call
// replaces it; "" when the call fails.
template <typename Call>
std::string copied(Call&& call) {
  const char* text = nullptr;
  return call(&text) == HL_OK ? std::string(text) : std::string();
}

// A callback's answer as the C interface takes it: a callable that returns nothing goes on, one
// that returns a bool cancels the call (HL_CANCELLED) with false.
template <typename Callable, typename... Args>
int cancels(Callable& callable, Args&&... args) {
  if constexpr (std::is_void_v<std::invoke_result_t<Callable&, Args...>>) {
    callable(std::forward<Args>(args)...);
    return 0;
  } else {
    return callable(std::forward<Args>(args)...) ? 0 : 1;
  }
}

// A folder that extractions write into (hl_destination_open); closes itself.
class Destination {
 public:
  Destination() = default;
  ~Destination() { hl_destination_close(handle_); }
  Destination(const Destination&) = delete;
  Destination& operator=(const Destination&) = delete;
  Status open(const std::filesystem::path& path) {
    hl_destination_close(std::exchange(handle_, nullptr));
    return statusOf(hl_destination_open(utf8Path(path).c_str(), &handle_));
  }
  hl_destination* handle() { return handle_; }

 private:
  hl_destination* handle_ = nullptr;
};

class Package {
 public:
  Package() = default;
  ~Package() { hl_close(handle_); }
  Package(Package&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Package& operator=(Package&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }

  Status open(const std::filesystem::path& path) {
    hl_package* opened = nullptr;
    Status status = statusOf(hl_open(utf8Path(path).c_str(), &opened));
    close();
    handle_ = opened;
    return status;
  }
  void close() { hl_close(std::exchange(handle_, nullptr)); }
  explicit operator bool() const { return handle_ != nullptr; }

  void setContentRoot(const std::filesystem::path& folder) {
    hl_set_content_root(handle_, utf8Path(folder).c_str());
  }
  hl_package_facts facts() const {
    hl_package_facts facts{};
    hl_facts(handle_, &facts);
    return facts;
  }
  Status check() const { return statusOf(hl_check(handle_)); }
  std::string warning(uint32_t index) const {
    return copied([&](const char** text) { return hl_warning(handle_, index, text); });
  }

  hl_item item(uint32_t item) const {
    hl_item facts{};
    hl_item_facts(handle_, item, &facts);
    return facts;
  }
  uint32_t fileCountBelow(uint32_t folder) const {
    uint32_t count = 0;
    hl_file_count_below(handle_, folder, &count);
    return count;
  }
  std::string name(uint32_t item) const {
    return copied([&](const char** text) { return hl_item_name(handle_, item, text); });
  }
  std::string path(uint32_t item, char separator = '\\') const {
    return copied([&](const char** text) { return hl_item_path(handle_, item, separator, text); });
  }
  // HL_NO_ITEM when no item has that path (or an entry on the way is damaged).
  uint32_t find(const std::string& path) const {
    uint32_t item = HL_NO_ITEM;
    find(path, item);
    return item;
  }
  Status find(const std::string& path, uint32_t& item) const {
    item = HL_NO_ITEM;
    return statusOf(hl_find(handle_, path.c_str(), &item));
  }
  // visit(uint32_t item, const std::string& relativePath) for every item below `folder`; one
  // that returns false cancels.
  template <typename Visit>
  Status walk(uint32_t folder, char separator, Visit&& visit) const {
    return statusOf(hl_walk(
        handle_, folder, separator,
        [](void* user, uint32_t item, const char* path) {
          return cancels(*static_cast<std::remove_reference_t<Visit>*>(user), item,
                         std::string(path));
        },
        &visit));
  }

  Status inspect(uint32_t file, hl_file_state& state) const {
    return statusOf(hl_inspect(handle_, file, &state));
  }
  Status layout(uint32_t file, hl_file_layout& layout) const {
    return statusOf(hl_layout(handle_, file, &layout));
  }
  // sink(const uint8_t* data, size_t size) returns false to stop.
  template <typename Sink>
  Status read(uint32_t file, Sink&& sink) const {
    return statusOf(hl_read(
        handle_, file,
        [](void* user, const uint8_t* data, size_t size) {
          return (*static_cast<Sink*>(user))(data, size) ? 1 : 0;
        },
        &sink));
  }
  Status validate(uint32_t file, hl_chunk_report& report) const {
    return statusOf(hl_validate(handle_, file, &report));
  }
  // observe(const std::string& path, const Status& result) for every file written or failed;
  // one that returns false cancels.
  template <typename Observe>
  Status extract(uint32_t item, const std::filesystem::path& destination, bool keepExisting,
                 Observe&& observe, hl_extract_summary& summary) const {
    return statusOf(hl_extract(handle_, item, utf8Path(destination).c_str(), keepExisting ? 1 : 0,
                               &observed<Observe>, nullptr, &observe, &summary));
  }
  // The same into `folders` (names joined by '\\') below an open destination.
  template <typename Observe>
  Status extractInto(uint32_t item, Destination& destination, const std::string& folders,
                     bool keepExisting, Observe&& observe, hl_extract_summary& summary) const {
    return statusOf(hl_extract_into(handle_, item, destination.handle(), folders.c_str(),
                                    keepExisting ? 1 : 0, &observed<Observe>, nullptr, &observe,
                                    &summary));
  }
  // unlistable(const std::string& path) for every path a list line cannot hold.
  template <typename Observe>
  Status writeFileList(const std::filesystem::path& target, Observe&& unlistable) const {
    return statusOf(hl_write_file_list(
        handle_, utf8Path(target).c_str(),
        [](void* user, const char* path) { (*static_cast<Observe*>(user))(std::string(path)); },
        &unlistable));
  }

 private:
  // An observer as the C interface calls it.
  template <typename Observe>
  static int HLLIB_CALL observed(void* user, const char* path, hl_status code,
                                 const char* message) {
    return cancels(*static_cast<std::remove_reference_t<Observe>*>(user), std::string(path),
                   Status{code, message});
  }
  hl_package* handle_ = nullptr;
};

// Rewrites the package at `path` with every file's blocks consecutive; `progress` may be empty,
// and returns false to cancel.
inline Status defragment(const std::filesystem::path& path, bool force,
                         std::function<bool(uint64_t done, uint64_t total)> progress,
                         hl_defragment_result& result) {
  hl_progress tell = [](void* user, uint64_t done, uint64_t total) {
    return (*static_cast<decltype(progress)*>(user))(done, total) ? 0 : 1;
  };
  return statusOf(hl_defragment(utf8Path(path).c_str(), force ? 1 : 0, progress ? tell : nullptr,
                                &progress, &result));
}

}  // namespace hllib
