// The library's only platform layer: files and folders, with one POSIX and one Win32
// implementation behind this interface. Paths are std::filesystem::path, so Windows
// paths stay UTF-16 all the way to the wide API.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "status.h"

namespace hl::io {

using Path = std::filesystem::path;

class FileLock;
class OwnedTemporary;

// Which file a path or handle leads to: equal identities are the same file, whatever names,
// hard links or symbolic links lead there (device and inode; volume serial and file index).
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
};

// An open file. Reads and writes take absolute 64-bit offsets and move no shared position.
class File {
 public:
  enum class Mode {
    Read,
    CreateNew,  // fails when the file exists: used for temporary files
    Truncate,   // creates or empties
    Update,     // an existing file, read and written in place: neither created nor emptied
  };

  static std::unique_ptr<File> open(const Path& path, Mode mode, Status& status);
  // `size` bytes at `data`, read as a file that `name` names in messages: a package held in
  // memory. The caller keeps them alive and unchanged for as long as the File lives.
  static std::unique_ptr<File> inMemory(const void* data, uint64_t size, const Path& name);
  // Creates `path` exclusively, never through a link, with the permission bits of the file
  // `model` holds from the start, and its owner and group where the system lets us.
  static std::unique_ptr<File> createLike(const Path& path, const FileLock& model, Status& status);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  uint64_t size() const { return size_; }
  // True when the file is now shorter than when it was opened: another program cut it.
  bool shrank() const;
  // Reads exactly `count` bytes; fewer available is an error.
  Status readAt(uint64_t offset, void* out, size_t count) const;
  Status writeAt(uint64_t offset, const void* data, size_t count);
  // Copies `count` bytes of `source` from `sourceOffset` to this file at `offset`, in the
  // kernel where the platform can.
  Status copyFrom(const File& source, uint64_t sourceOffset, uint64_t offset, uint64_t count);
  Status setSize(uint64_t size);
  Status flush();  // to stable storage
  Status close();  // reports errors that closing reveals

  const Path& path() const { return path_; }
  // Asked once and kept: an open file stays the same file, and extraction asks per item.
  FileIdentity identity() const;
  // The file's permission bits, for copies that should be no more open than it (0 where the
  // platform's permissions are not bits).
  uint32_t permissions() const;

 private:
  friend class Folder;
  File(const Path& path, intptr_t handle, uint64_t size);
  // The platform's part of readAt, shrank, identity and permissions, for a file of the system.
  Status readFromSystem(uint64_t offset, void* out, size_t count) const;
  bool shrankOnSystem() const;
  FileIdentity systemIdentity() const;
  uint32_t systemPermissions() const;
  Path path_;
  intptr_t handle_;
  uint64_t size_;
  mutable std::once_flag identityOnce_;
  mutable FileIdentity identity_;
  const uint8_t* memory_ = nullptr;  // the bytes of a file in memory, which has no handle
};

// Holds a file against every other holder for as long as it lives: another run finds it in
// use. POSIX: an exclusive advisory lock; Windows: a handle that lets no one else write, and a
// lock on a byte range past any real end of file that a second holder cannot take.
class FileLock {
 public:
  // The file at `path` when the lock was taken; ErrorCode::InUse when another holder has it.
  // `writable`, when given, tells whether the file opens for writing, asked where that
  // disturbs no holder: before the lock on Windows (which keeps writers out), after it
  // elsewhere (an open for writing would break another run's watch, see watchWriters).
  static std::unique_ptr<FileLock> acquire(const Path& path, Status& status,
                                           Status* writable = nullptr);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  uint32_t linkCount() const { return links_; }
  // Keeps other programs' writes out for as long as the lock lives, or notices them. Windows:
  // the lock's sharing already refuses them. Linux: a lease, which makes a program that opens
  // the file for writing wait until the lock ends; writerArrived() then turns true. Taken
  // means one of these holds; Unavailable where neither can be had (a file system without
  // leases, a file of another user): writers go unnoticed there. This process must hold the
  // file open for writing nowhere while it is watched.
  enum class Watch { Taken, WriterHolds, Unavailable };
  Watch watchWriters();
  // Another program has opened the file for writing since watchWriters and waits for the lock
  // to end: whatever replaces the file now, that program writes into the old one.
  bool writerArrived() const;
  // Windows cannot rename over an open file: there the lock ends here, before a replace.
  void releaseBeforeReplace();

 private:
  friend class File;
  FileLock(intptr_t handle, uint32_t links) : handle_(handle), links_(links) {}
  void release();
  intptr_t handle_;
  uint32_t links_;
  bool watched_ = false;
};

// Copies through a buffer in user space: what File::copyFrom does where the kernel cannot.
Status copyByReading(const File& source, uint64_t sourceOffset, File& target, uint64_t offset,
                     uint64_t count);

// Ok when the file at `path` opens for reading and writing, else the error that open met.
Status opensForWriting(const Path& path);

// The error of a read that finds the end of a file before `offset`, although the file was
// long enough when it was opened: another program shortened it.
Status endedEarly(const Path& path, uint64_t offset);

// The error for `path`, or the parent `blocking` on its way, holding something other than a
// folder where a folder must be made.
Status notAFolder(const Path& blocking, const Path& path);

#if defined(_WIN32)
// What the Win32 file calls are given for `path`, and the only way they are given one: made
// absolute and normalised as the system would (GetFullPathNameW), then marked "\\?\" (a share:
// "\\?\UNC\") so that no length limit applies. Device paths ("\\.\"), paths already marked,
// and paths the system cannot make absolute are given as they stand.
std::wstring win32Path(const Path& path);
#endif

enum class PathKind { Missing, File, Folder, Other };
PathKind pathKind(const Path& path);  // does not follow a final symbolic link
// Where `path` leads with every link on the way followed, as an absolute path; `path` itself
// when that cannot be told (nothing there).
Path resolvedPath(const Path& path);

// Makes the folder a caller named, with its missing parents (as `mkdir -p`), reached as the
// system resolves the path: through symbolic links and junctions. Succeeds when a folder is
// already there; anything else at the path or at a parent is refused.
Status createFolder(const Path& path);
// Replaces `target` by `source` in one step, also when `target` exists.
Status replaceFile(const Path& source, const Path& target);
void removeFile(const Path& path);  // best effort: used to clean up after a failure
// Makes a rename inside `folder` durable where the platform needs the folder itself flushed.
Status flushFolder(const Path& folder);

std::string describe(const Path& path);  // the path for messages, UTF-8

// An open folder. Everything below it is reached through handles, never by following a
// symbolic link or reparse point, so a folder swapped for a link while the run works cannot
// redirect a write. On Windows the handle also keeps the folder from being renamed or deleted.
class Folder {
 public:
  // `path` itself is the caller's choice and may lead through links.
  static std::unique_ptr<Folder> open(const Path& path, Status& status);
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The sub-folder `name`, created when missing; a link or anything else there is refused.
  std::unique_ptr<Folder> child(const Path& name, Status& status) const;
  // A new file named `stem`-<random>.tmp, created exclusively (another name is tried while
  // one exists) with `permissions` where the platform has them; `temporary` owns it from then.
  std::unique_ptr<File> createTemporary(const std::string& stem, uint32_t permissions,
                                        OwnedTemporary& temporary, Status& status) const;
  // Ok when `name` is missing, or is a writable regular file other than the ones in `keep`.
  // Links, folders and devices are never replaced. `permissions`, when given, receives the
  // permission bits of the file there (POSIX), so that its replacement is no more open.
  Status checkReplaceable(const Path& name, const FileIdentity* keep, size_t keepCount,
                          uint32_t* permissions = nullptr) const;
  // Renames `from` over `to`, both in this folder; a link at `to` is replaced, not followed.
  Status replace(const Path& from, const Path& to) const;
  // Renames `from` to `to` only when nothing stands at `to`; ErrorCode::Exists otherwise.
  Status moveToNewName(const Path& from, const Path& to) const;
  // What is at `name`, without following a link; Other when it cannot be told.
  PathKind kindOf(const Path& name) const;
  const Path& path() const { return path_; }
  void remove(const Path& name) const;  // best effort, for a temporary of this run

 private:
  struct Entry {
    PathKind kind = PathKind::Missing;
    FileIdentity identity;
    bool writable = false;
    uint32_t permissions = 0666;  // the bits on POSIX; Windows has none
  };
  Folder(const Path& path, intptr_t handle) : path_(path), handle_(handle) {}
  // What is at `name`, without following a link.
  Status inspect(const Path& name, Entry& entry) const;
  Path path_;
  intptr_t handle_;
};

// A temporary file this run created, removed when its owner ends unless kept: a failure or an
// exception leaves nothing behind. A killed run still leaves it, and no later run removes a
// file it cannot prove its own. Declared before every handle on the file, so they close first:
// Windows removes no open file.
class OwnedTemporary {
 public:
  OwnedTemporary() = default;
  ~OwnedTemporary() { discard(); }
  OwnedTemporary(const OwnedTemporary&) = delete;
  OwnedTemporary& operator=(const OwnedTemporary&) = delete;

  // The file at `path` (a name in `folder`, or a whole path when `folder` is null) was just
  // created by this run.
  void adopt(const Folder* folder, Path path) noexcept;
  const Path& path() const { return path_; }
  // The file is no longer this run's to remove: renamed into place, or left as a kill would.
  void keep() noexcept { path_.clear(); }
  void discard() noexcept;

 private:
  const Folder* folder_ = nullptr;
  Path path_;
};

// The next random number for temporary names.
uint32_t temporarySuffix();

// A file name as the file system tells names apart, so that two names with equal keys would
// be the same file in one folder: as they are on POSIX, letter case folded on Windows.
Path::string_type nameKey(const Path& name);

// A package's single-byte item name as a path component: on Windows through the system code
// page, elsewhere as UTF-8 (see hllib/code_page.h).
Path fromPackageName(std::string_view name);

}  // namespace hl::io
