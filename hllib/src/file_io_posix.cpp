// POSIX implementation of the file layer: pread/pwrite, copy_file_range where Linux has it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "code_page.h"
#include "file_io.h"

#if defined(__linux__)
#include <sys/syscall.h>
#endif

namespace hl::io {
namespace {

Status osError(ErrorCode code, const std::string& what, const Path& path, int error) {
  return Status(code, what + " " + describe(path) + ": " + std::strerror(error))
      .withSystemError(error);
}

int fd(intptr_t handle) { return static_cast<int>(handle); }

bool clearNonBlocking(int handle) {
  int flags = ::fcntl(handle, F_GETFL);
  return flags >= 0 && ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

std::string describe(const Path& path) { return "'" + path.string() + "'"; }

File::File(const Path& path, intptr_t handle, uint64_t size)
    : path_(path), handle_(handle), size_(size) {}

File::~File() {
  if (handle_ >= 0) ::close(fd(handle_));
}

std::unique_ptr<File> File::open(const Path& path, Mode mode, Status& status) {
  // Without blocking: opening a FIFO for reading would otherwise wait for a writer forever.
  // Whatever is not a regular file is refused below, before anything is read from it.
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  switch (mode) {
    case Mode::Read:
      flags |= O_RDONLY;
      break;
    case Mode::CreateNew:
      flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
      break;
    case Mode::Truncate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
    case Mode::Update:
      flags |= O_RDWR;
      break;
  }
  int handle = ::open(path.c_str(), flags, 0666);
  if (handle < 0) {
    status = osError(mode == Mode::Read ? ErrorCode::OpenFailed : ErrorCode::WriteFailed,
                     "cannot open", path, errno);
    return nullptr;
  }
  struct stat info {};
  bool known = ::fstat(handle, &info) == 0;
  bool regular = known && S_ISREG(info.st_mode);
  if (regular && clearNonBlocking(handle))
    return std::unique_ptr<File>(new File(path, handle, static_cast<uint64_t>(info.st_size)));
  if (!regular && known)
    status = {ErrorCode::OpenFailed,
              "cannot open " + describe(path) + ": " +
                  (S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file")};
  else
    status = osError(ErrorCode::OpenFailed, "cannot open", path, errno);
  ::close(handle);
  return nullptr;
}

bool File::shrankOnSystem() const {
  struct stat info {};
  return ::fstat(fd(handle_), &info) == 0 && static_cast<uint64_t>(info.st_size) < size_;
}

std::unique_ptr<File> File::createLike(const Path& path, const FileLock& model, Status& status) {
  struct stat info {};
  if (::fstat(fd(model.handle_), &info) != 0) {
    status = osError(ErrorCode::WriteFailed, "cannot read the permissions of", path, errno);
    return nullptr;
  }
  const mode_t permissions = info.st_mode & 0777;
  int handle =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions);
  if (handle < 0) {
    status = osError(ErrorCode::WriteFailed, "cannot create", path, errno);
    return nullptr;
  }
  // Owner and group first, as a change of owner may clear mode bits; the mode then undoes what
  // the umask took. Only the owner and group of the model are ever given away, never more.
  if (::fchown(handle, info.st_uid, info.st_gid) != 0 && errno != EPERM) {
    int error = errno;
    ::close(handle);
    ::unlink(path.c_str());
    status = osError(ErrorCode::WriteFailed, "cannot set the owner of", path, error);
    return nullptr;
  }
  if (::fchmod(handle, permissions) != 0) {
    int error = errno;
    ::close(handle);
    ::unlink(path.c_str());
    status = osError(ErrorCode::WriteFailed, "cannot set the permissions of", path, error);
    return nullptr;
  }
  return std::unique_ptr<File>(new File(path, handle, 0));
}

std::unique_ptr<FileLock> FileLock::acquire(const Path& path, Status& status, Status* writable) {
  // The lock is on the file an open reached; a rename may have put another file at the path
  // since, so the two are compared and the lock taken again on the new one.
  for (int attempt = 0; attempt < 8; ++attempt) {
    int handle = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
      status = osError(ErrorCode::OpenFailed, "cannot open", path, errno);
      return nullptr;
    }
    struct stat locked {
    }, named{};
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      ::close(handle);
      status = error == EWOULDBLOCK
                   ? Status(ErrorCode::InUse, describe(path) + " is in use by another run")
                   : osError(ErrorCode::WriteFailed, "cannot lock", path, error);
      return nullptr;
    }
    if (::fstat(handle, &locked) == 0 && ::stat(path.c_str(), &named) == 0 &&
        locked.st_dev == named.st_dev && locked.st_ino == named.st_ino) {
      if (!S_ISREG(locked.st_mode)) {
        ::close(handle);
        status = {ErrorCode::OpenFailed, "cannot open " + describe(path) + ": not a regular file"};
        return nullptr;
      }
      if (writable) *writable = opensForWriting(path);
      return std::unique_ptr<FileLock>(new FileLock(
          handle, static_cast<uint32_t>(std::min<nlink_t>(locked.st_nlink, 0xFFFFFFFFu))));
    }
    ::close(handle);
  }
  status = {ErrorCode::InUse, describe(path) + " is in use: it keeps being replaced"};
  return nullptr;
}

FileLock::~FileLock() { release(); }

void FileLock::release() {
  if (handle_ >= 0) ::close(fd(handle_));
  handle_ = -1;
}

// A read lease: the kernel grants it only while no one holds the file open for writing, and
// breaks it when someone opens it so, holding that open back until the lease ends. A break is
// told by a signal to the lease's owner, by default SIGIO, which ends a process; the library
// installs no handler, so the signal becomes SIGURG, ignored unless its program handles it,
// before the lease is taken, and the owner (set to this process by F_SETLEASE) is then
// cleared so no signal is sent at all. A break is found by asking (writerArrived).
FileLock::Watch FileLock::watchWriters() {
#if defined(__linux__)
  const int handle = fd(handle_);
  if (::fcntl(handle, F_SETSIG, SIGURG) != 0) return Watch::Unavailable;
  if (::fcntl(handle, F_SETLEASE, F_RDLCK) != 0)  // EINVAL: no leases here; EACCES: not ours
    return errno == EAGAIN ? Watch::WriterHolds : Watch::Unavailable;
  ::fcntl(handle, F_SETOWN, 0);
  watched_ = true;
  return Watch::Taken;
#else
  return Watch::Unavailable;
#endif
}

// A pending break turns the lease into the type it is being broken to: F_UNLCK, here.
bool FileLock::writerArrived() const {
#if defined(__linux__)
  return watched_ && ::fcntl(fd(handle_), F_GETLEASE) != F_RDLCK;
#else
  return false;
#endif
}

// A rename over a file another process has open is fine here: the lock stays to the end.
void FileLock::releaseBeforeReplace() {}

Status File::readFromSystem(uint64_t offset, void* out, size_t count) const {
  auto* cursor = static_cast<uint8_t*>(out);
  while (count > 0) {
    ssize_t got = ::pread(fd(handle_), cursor, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return osError(ErrorCode::OpenFailed, "cannot read", path_, errno);
    if (got == 0) return endedEarly(path_, offset);
    cursor += got;
    offset += static_cast<uint64_t>(got);
    count -= static_cast<size_t>(got);
  }
  return {};
}

Status File::writeAt(uint64_t offset, const void* data, size_t count) {
  const auto* cursor = static_cast<const uint8_t*>(data);
  while (count > 0) {
    ssize_t put = ::pwrite(fd(handle_), cursor, count, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0)
      return osError(ErrorCode::WriteFailed, "cannot write", path_, put < 0 ? errno : ENOSPC);
    cursor += put;
    offset += static_cast<uint64_t>(put);
    count -= static_cast<size_t>(put);
  }
  if (offset > size_) size_ = offset;
  return {};
}

Status File::copyFrom(const File& source, uint64_t sourceOffset, uint64_t offset, uint64_t count) {
#if defined(__linux__) && defined(SYS_copy_file_range)
  // The kernel copies (or shares) the range without passing it through user space.
  while (count > 0) {
    loff_t in = static_cast<loff_t>(sourceOffset), out = static_cast<loff_t>(offset);
    size_t step = count > (1u << 30) ? (1u << 30) : static_cast<size_t>(count);
    long copied =
        ::syscall(SYS_copy_file_range, fd(source.handle_), &in, fd(handle_), &out, step, 0u);
    if (copied < 0 && errno == EINTR) continue;
    if (copied <= 0) break;  // unsupported here or nothing copied: finish with plain reads
    sourceOffset += static_cast<uint64_t>(copied);
    offset += static_cast<uint64_t>(copied);
    count -= static_cast<uint64_t>(copied);
    if (offset > size_) size_ = offset;
  }
#endif
  return copyByReading(source, sourceOffset, *this, offset, count);
}

Status File::setSize(uint64_t size) {
  if (::ftruncate(fd(handle_), static_cast<off_t>(size)) != 0)
    return osError(ErrorCode::WriteFailed, "cannot resize", path_, errno);
  size_ = size;
  return {};
}

Status File::flush() {
  if (::fsync(fd(handle_)) != 0)
    return osError(ErrorCode::WriteFailed, "cannot flush", path_, errno);
  return {};
}

Status File::close() {
  int handle = fd(handle_);
  handle_ = -1;
  if (::close(handle) != 0) return osError(ErrorCode::WriteFailed, "cannot close", path_, errno);
  return {};
}

FileIdentity File::systemIdentity() const {
  struct stat info {};
  if (::fstat(fd(handle_), &info) != 0) return {};
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

uint32_t File::systemPermissions() const {
  struct stat info {};
  if (::fstat(fd(handle_), &info) != 0) return 0600;
  return static_cast<uint32_t>(info.st_mode & 0777);
}

Path resolvedPath(const Path& path) {
  std::error_code error;
  Path target = std::filesystem::canonical(path, error);
  return error ? path : target;
}

PathKind pathKind(const Path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return PathKind::Missing;
  if (S_ISREG(info.st_mode)) return PathKind::File;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

namespace {

// `folder` and its missing parents; `named` is the whole path the caller gave, for messages.
Status createFolders(const Path& folder, const Path& named) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0)
    return S_ISDIR(info.st_mode) ? Status() : notAFolder(folder, named);
  int error = errno;
  if (error == ENOENT || error == ENOTDIR) {
    const Path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
      Status status = createFolders(parent, named);
      if (!status.ok()) return status;
    }
    if (::mkdir(folder.c_str(), 0777) == 0) return {};
    error = errno;
    // Made by another program meanwhile; a dangling link stays something else.
    if (error == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return {};
    if (error == EEXIST) return notAFolder(folder, named);
  }
  return osError(ErrorCode::WriteFailed, "cannot create folder", named, error);
}

}  // namespace

Status createFolder(const Path& path) { return createFolders(path.empty() ? "." : path, path); }

Status replaceFile(const Path& source, const Path& target) {
  if (::rename(source.c_str(), target.c_str()) != 0)
    return osError(ErrorCode::WriteFailed, "cannot replace", target, errno);
  return {};
}

void removeFile(const Path& path) { ::unlink(path.c_str()); }

Status flushFolder(const Path& folder) {
  int handle = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return osError(ErrorCode::WriteFailed, "cannot open folder", folder, errno);
  int result = ::fsync(handle);
  int error = errno;
  ::close(handle);
  if (result != 0) return osError(ErrorCode::WriteFailed, "cannot flush folder", folder, error);
  return {};
}

std::unique_ptr<Folder> Folder::open(const Path& path, Status& status) {
  int handle = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) {
    status = osError(ErrorCode::WriteFailed, "cannot open folder", path, errno);
    return nullptr;
  }
  return std::unique_ptr<Folder>(new Folder(path, handle));
}

Folder::~Folder() { ::close(fd(handle_)); }

std::unique_ptr<Folder> Folder::child(const Path& name, Status& status) const {
  Path path = path_ / name;
  if (::mkdirat(fd(handle_), name.c_str(), 0777) != 0 && errno != EEXIST) {
    status = osError(ErrorCode::WriteFailed, "cannot create folder", path, errno);
    return nullptr;
  }
  int handle = ::openat(fd(handle_), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (handle >= 0) return std::unique_ptr<Folder>(new Folder(path, handle));
  int error = errno;
  status = error == ENOTDIR || error == ELOOP
               ? notAFolder(path, path)
               : osError(ErrorCode::WriteFailed, "cannot open folder", path, error);
  return nullptr;
}

std::unique_ptr<File> Folder::createTemporary(const std::string& stem, uint32_t permissions,
                                              OwnedTemporary& temporary, Status& status) const {
  constexpr int kAttempts = 100;
  int error = EEXIST;
  Path name;
  for (int attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt) {
    name = stem + "-" + std::to_string(temporarySuffix()) + ".tmp";
    int handle =
        ::openat(fd(handle_), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                 static_cast<mode_t>(permissions));
    if (handle >= 0) {
      temporary.adopt(this, name);
      return std::unique_ptr<File>(new File(path_ / name, handle, 0));
    }
    error = errno;
  }
  status = osError(ErrorCode::WriteFailed, "cannot create", path_ / name, error);
  return nullptr;
}

Status Folder::inspect(const Path& name, Entry& entry) const {
  struct stat info {};
  if (::fstatat(fd(handle_), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return {};
    return osError(ErrorCode::WriteFailed, "cannot inspect", path_ / name, errno);
  }
  entry.kind = S_ISREG(info.st_mode)   ? PathKind::File
               : S_ISDIR(info.st_mode) ? PathKind::Folder
                                       : PathKind::Other;
  entry.identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
  entry.permissions = static_cast<uint32_t>(info.st_mode & 0777);
  // A file without its owner's write permission is read-only, as on Windows, even to root.
  entry.writable = (info.st_mode & S_IWUSR) != 0 &&
                   ::faccessat(fd(handle_), name.c_str(), W_OK, AT_EACCESS) == 0;
  return {};
}

Status Folder::replace(const Path& from, const Path& to) const {
  if (::renameat(fd(handle_), from.c_str(), fd(handle_), to.c_str()) != 0)
    return osError(ErrorCode::WriteFailed, "cannot replace", path_ / to, errno);
  return {};
}

// A hard link fails when the name is taken, where renameat() would silently replace.
Status Folder::moveToNewName(const Path& from, const Path& to) const {
  if (::linkat(fd(handle_), from.c_str(), fd(handle_), to.c_str(), 0) == 0) {
    remove(from);
    return {};
  }
  if (errno == EEXIST) return {ErrorCode::Exists, describe(path_ / to) + " already exists: kept"};
  // File systems without hard links: the check and the rename are then two steps.
  if (errno != EPERM && errno != EOPNOTSUPP)
    return osError(ErrorCode::WriteFailed, "cannot create", path_ / to, errno);
  if (kindOf(to) != PathKind::Missing)
    return {ErrorCode::Exists, describe(path_ / to) + " already exists: kept"};
  return replace(from, to);
}

PathKind Folder::kindOf(const Path& name) const {
  Entry entry;
  return inspect(name, entry).ok() ? entry.kind : PathKind::Other;
}

void Folder::remove(const Path& name) const { ::unlinkat(fd(handle_), name.c_str(), 0); }

Path::string_type nameKey(const Path& name) { return name.native(); }

Path fromPackageName(std::string_view name) { return Path(packageNameToUtf8(name)); }

}  // namespace hl::io
