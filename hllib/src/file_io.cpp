// The platform-free part of the file layer: buffered copies and the early-end error.
#include "file_io.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>

namespace hl::io {

Status endedEarly(const Path& path, uint64_t offset) {
  return {ErrorCode::Damaged, "cannot read " + describe(path) + " at offset " +
                                  std::to_string(offset) +
                                  ": the file is shorter than when it was opened (was it changed "
                                  "while being read?)"};
}

Status opensForWriting(const Path& path) {
  Status status;
  File::open(path, File::Mode::Update, status);
  return status;
}

Status notAFolder(const Path& blocking, const Path& path) {
  return {ErrorCode::WriteFailed, "cannot create folder " + describe(path) + ": " +
                                      (blocking == path ? "something else is there"
                                                        : describe(blocking) + " is not a folder")};
}

void OwnedTemporary::adopt(const Folder* folder, Path path) noexcept {
  discard();
  folder_ = folder;
  path_ = std::move(path);
}

void OwnedTemporary::discard() noexcept {
  if (path_.empty()) return;
  if (folder_)
    folder_->remove(path_);
  else
    removeFile(path_);
  path_.clear();
}

std::unique_ptr<File> File::inMemory(const void* data, uint64_t size, const Path& name) {
  std::unique_ptr<File> file(new File(name, -1, size));  // -1: no handle on either platform
  file->memory_ = static_cast<const uint8_t*>(data);
  return file;
}

Status File::readAt(uint64_t offset, void* out, size_t count) const {
  if (!memory_) return readFromSystem(offset, out, count);
  if (offset > size_ || count > size_ - offset)
    return Status::truncation(describe(path_) + " ends before byte " +
                              std::to_string(offset + count));
  std::memcpy(out, memory_ + offset, count);
  return {};
}

bool File::shrank() const { return !memory_ && shrankOnSystem(); }

FileIdentity File::identity() const {
  // Bytes in memory are no file: their identity matches none on disk.
  std::call_once(identityOnce_, [this] {
    identity_ =
        memory_ ? FileIdentity{UINT64_MAX, reinterpret_cast<uintptr_t>(memory_)} : systemIdentity();
  });
  return identity_;
}

uint32_t File::permissions() const { return memory_ ? 0644 : systemPermissions(); }

Status copyByReading(const File& source, uint64_t sourceOffset, File& target, uint64_t offset,
                     uint64_t count) {
  constexpr uint64_t kBufferSize = 1 << 20;
  std::unique_ptr<uint8_t[]> buffer;
  while (count > 0) {
    if (!buffer) buffer.reset(new uint8_t[kBufferSize]);
    size_t step = static_cast<size_t>(std::min(count, kBufferSize));
    Status status = source.readAt(sourceOffset, buffer.get(), step);
    if (!status.ok()) return status;
    status = target.writeAt(offset, buffer.get(), step);
    if (!status.ok()) return status;
    sourceOffset += step;
    offset += step;
    count -= step;
  }
  return {};
}

Status Folder::checkReplaceable(const Path& name, const FileIdentity* keep, size_t keepCount,
                                uint32_t* permissions) const {
  Entry entry;
  Status status = inspect(name, entry);
  if (!status.ok() || entry.kind == PathKind::Missing) return status;
  std::string what = "cannot replace " + describe(path_ / name) + ": ";
  if (entry.kind != PathKind::File)
    return {ErrorCode::WriteFailed, what + "it is not a regular file"};
  if (std::find(keep, keep + keepCount, entry.identity) != keep + keepCount)
    return {ErrorCode::WriteFailed, what + "it is the package itself"};
  if (!entry.writable) return {ErrorCode::WriteFailed, what + "it is read-only"};
  if (permissions) *permissions = entry.permissions;
  return {};
}

uint32_t temporarySuffix() {
  static std::mutex lock;
  static std::mt19937 generator{std::random_device{}()};
  std::lock_guard<std::mutex> hold(lock);
  return static_cast<uint32_t>(generator());
}

}  // namespace hl::io
