// The platform-free part of the file layer: views with their fallback, and buffered copies.
#include "file_io.h"

#include <algorithm>
#include <new>

namespace hl::io {

std::unique_ptr<FileView> FileView::map(const File& file, uint64_t length, Status& status) {
  std::unique_ptr<FileView> view(new FileView());
  view->size_ = length;
  if (length == 0) return view;
  if ((view->data_ = mapFile(file, length))) {
    view->mapped_ = true;
    return view;
  }
  if (length <= SIZE_MAX)
    view->copy_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
  if (!view->copy_) {
    status = {ErrorCode::OpenFailed, "not enough memory to read " + describe(file.path())};
    return nullptr;
  }
  status = file.readAt(0, view->copy_.get(), static_cast<size_t>(length));
  if (!status.ok()) return nullptr;
  view->data_ = view->copy_.get();
  return view;
}

FileView::~FileView() {
  if (mapped_) unmapFile(data_, size_);
}

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

}  // namespace hl::io
