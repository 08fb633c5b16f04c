// The package library's facade: open a GCF or NCF package, walk its items, read, extract and
// validate files. Every call that can fail reports it through a Status; no exception leaves
// one, whatever a caller's callback throws (see status.h for the calls that return text).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace hl {

class PackageData;

enum class PackageType { Gcf, Ncf };

constexpr uint32_t kNoItem = 0xFFFFFFFFu;
constexpr uint32_t kRootItem = 0;

// What the package stores of one file.
struct FileInfo {
  uint64_t size = 0;         // the item's size
  uint64_t storedBytes = 0;  // bytes actually present in the package (or on disk, for an NCF)
  bool encrypted = false;
  bool complete() const { return storedBytes == size && !encrypted; }
};

// Where a GCF file's stored bytes lie in the package's data blocks.
struct FileLayout {
  uint32_t blocks = 0;      // data blocks that hold the stored bytes
  bool fragmented = false;  // the stored bytes are not one run of consecutive blocks
};

// Receives a file's bytes in order; returns false to stop the read.
using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;

// Called for every item below a folder in directory order, with its path relative to that
// folder (components joined by the separator given to the walk). A callback that throws ends
// the call that made it with ErrorCode::Unexpected (Cancelled: ErrorCode::Cancelled).
using ItemVisitor = std::function<void(uint32_t item, const std::string& relativePath)>;

struct ChunkReport {
  uint32_t checksummedChunks = 0;
  std::vector<uint32_t> badChunks;  // indices of 32 KiB chunks whose checksum does not match
  // The package stores no checksums for this file, which has bytes: nothing was compared, so
  // an Ok result says nothing about them.
  bool notChecked = false;
};

class Package {
 public:
  // Opens the package and checks its headers, the bounds of its tables and its root. Returns
  // null and sets `status` on failure. What the tables hold is checked where it is used: a
  // lookup checks the entries on its way, a walk the tree below its folder, a read the file's
  // chains (ErrorCode::Damaged names what is wrong).
  static std::unique_ptr<Package> open(const std::filesystem::path& path, Status& status);
  // The same for a package's `size` bytes at `data`, which the caller keeps alive and unchanged
  // until the Package goes.
  static std::unique_ptr<Package> openMemory(const void* data, uint64_t size, Status& status);
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  PackageType type() const noexcept;
  uint32_t formatVersion() const noexcept;
  uint32_t blockSize() const noexcept;
  uint32_t blockCount() const noexcept;
  uint32_t itemCount() const noexcept;
  uint32_t fileCount() const noexcept;
  // Inconsistencies that did not stop the package from being read: the headers', and the
  // directory tree's once it has been checked whole (check(), or a walk of the root).
  std::vector<std::string> warnings() const;
  // Checks the whole directory tree, once: later calls give the same answer.
  Status check() const;

  // Items are numbered 0 .. itemCount()-1; 0 is the root folder, whose name is empty.
  bool isFile(uint32_t item) const noexcept;
  bool isEncrypted(uint32_t item) const noexcept;
  std::string_view name(uint32_t item) const;  // single-byte, as stored
  uint32_t itemSize(uint32_t item) const noexcept;
  uint32_t parent(uint32_t item) const noexcept;  // kNoItem for the root
  Status fileCountBelow(uint32_t folder, uint32_t& count) const;

  // Finds an item by its path below the root, components separated by '\' or '/'. Names are
  // matched exactly first, then without regard to ASCII case. "" names the root. `item` is
  // kNoItem, with an Ok status, when no item has the path.
  Status find(std::string_view path, uint32_t& item) const;
  // The item's path from the root, components joined by `separator`; "" for the root.
  std::string path(uint32_t item, char separator = '\\') const;
  // Every item below `folder`, depth first in directory order, once the tree below it has been
  // checked; nothing for an item that is no folder of the tree, ErrorCode::ItemNotFound for a
  // number past the last item.
  Status walk(uint32_t folder, char separator, const ItemVisitor& visit) const;

  // NCF only: the folder that holds the package's files on disk; ErrorCode::Invalid for a GCF.
  Status setContentRoot(const std::filesystem::path& root);

  Status inspect(uint32_t file, FileInfo& info) const;
  // Follows the file's block chains. An NCF's files lie on disk: no blocks, never fragmented.
  Status layout(uint32_t file, FileLayout& layout) const;
  // Streams a complete file's bytes; an incomplete or encrypted file is refused.
  Status read(uint32_t file, const ByteSink& sink) const;
  // Compares every chunk of a file with its stored checksum. Ok when all match, and also when
  // the package stores none for the file: then `report.notChecked` says so.
  Status validate(uint32_t file, ChunkReport& report) const;

  // Writes one file to `target` (replaced only once the new copy is complete).
  Status extractFile(uint32_t file, const std::filesystem::path& target) const;

  // True when the package's file is now shorter than when it was opened: another program cut
  // it, and reading its data fails from there on.
  bool fileShrank() const noexcept;

 private:
  explicit Package(std::unique_ptr<PackageData> data);
  friend const PackageData& modelOf(const Package& package);
  std::unique_ptr<PackageData> data_;
};

}  // namespace hl
