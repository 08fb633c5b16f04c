// The list file, written to a temporary sibling in slices as the tree is walked, so that a
// package of 100,000 files needs no buffer the size of its whole list, and put in place only
// when complete.
#include "list_file.h"

#include <algorithm>
#include <memory>

#include "call_guard.h"
#include "package_data.h"

namespace hl {
namespace {

Status writeLines(const Package& package, io::File& out, const io::Path& target,
                  const UnlistableObserver& unlistable) {
  // Lines gather in a slice, written whenever the next line would not fit.
  constexpr size_t kSlice = size_t{256} * 1024;
  constexpr std::string_view kPrefix = "root\\", kEnd = "\r\n";
  std::unique_ptr<char[]> slice(new char[kSlice]);
  size_t used = 0;
  uint64_t offset = 0;
  uint32_t refused = 0;
  Status status;
  auto flush = [&](const char* bytes, size_t size) {
    if (status.ok()) status = out.writeAt(offset, bytes, size);
    offset += size;
  };
  auto list = [&](uint32_t, const DirectoryEntry& entry, const std::string& path) {
    if (!entry.isFile()) return;
    if (!isListable(path)) {
      ++refused;
      if (unlistable) unlistable(path);
    }
    if (refused || !status.ok()) return;
    const size_t size = kPrefix.size() + path.size() + kEnd.size();
    if (used + size > kSlice) {
      flush(slice.get(), used);
      used = 0;
    }
    if (size > kSlice) {  // a line that no slice holds goes on its own
      const std::string line = std::string(kPrefix).append(path).append(kEnd);
      return flush(line.data(), line.size());
    }
    char* at = std::copy(kPrefix.begin(), kPrefix.end(), slice.get() + used);
    at = std::copy(path.begin(), path.end(), at);
    std::copy(kEnd.begin(), kEnd.end(), at);
    used += size;
  };
  Status walked = forEachItemBelow(modelOf(package), kRootItem, '\\', list);
  if (!walked.ok()) return walked;
  if (refused)
    return {ErrorCode::WriteFailed, "the list file " + io::describe(target) + " is not written: " +
                                        std::to_string(refused) + " file names hold a line break"};
  flush(slice.get(), used);
  return status;
}

}  // namespace

Status writeFileList(const Package& package, const std::filesystem::path& target,
                     const UnlistableObserver& unlistable) {
  return guarded("writing the list file", [&]() -> Status {
    // A damaged tree is found before anything is made.
    Status status = checkWholeTree(modelOf(package));
    if (!status.ok()) return status;
    io::Path name = target.filename();
    if (name.empty())
      return {ErrorCode::WriteFailed,
              "cannot write the list file " + io::describe(target) + ": it names a folder"};
    status = io::createFolder(target.parent_path());
    std::unique_ptr<io::Folder> folder;
    if (status.ok()) folder = io::Folder::open(target.parent_path(), status);
    if (!folder) return status;
    const io::FileIdentity itself = modelOf(package).file->identity();
    uint32_t permissions = 0666;  // a list that replaces a file is no more open than it
    status = folder->checkReplaceable(name, &itself, 1, &permissions);
    if (!status.ok()) return status;

    io::OwnedTemporary temporary;
    std::unique_ptr<io::File> out =
        folder->createTemporary("~hllist", permissions, temporary, status);
    if (!out) return status;
    status = writeLines(package, *out, target, unlistable);
    if (status.ok()) status = out->close();
    out.reset();
    if (status.ok()) status = folder->replace(temporary.path(), name);
    if (status.ok()) temporary.keep();
    return status;
  });
}

}  // namespace hl
