// Win32 implementation of the file layer: wide paths and overlapped offsets.
#include <windows.h>

#include "file_io.h"

namespace hl::io {
namespace {

std::string systemMessage(DWORD error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
  if (text) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L'.'))
    wide.pop_back();
  return Path(wide).u8string();
}

Status osError(ErrorCode code, const std::string& what, const Path& path, DWORD error) {
  return Status(code, what + " " + describe(path) + ": " + systemMessage(error))
      .withSystemError(static_cast<long>(error));
}

HANDLE handleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

constexpr DWORD kMaxStep = 1u << 30;

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (uint64_t{info.nFileIndexHigh} << 32) | uint64_t{info.nFileIndexLow}};
}

// A folder handle that lists and traverses, shared for reading and writing but not for
// deleting: while it is open, nobody can rename, delete or swap the folder.
HANDLE openFolderHandle(const Path& path, DWORD flags) {
  return CreateFileW(win32Path(path).c_str(),
                     FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

bool isMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

std::wstring win32Path(const Path& path) {
  const std::wstring& given = path.native();
  if (given.rfind(L"\\\\?\\", 0) == 0) return given;
  const DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  const DWORD length = size ? GetFullPathNameW(given.c_str(), size, full.data(), nullptr) : 0;
  if (length == 0 || length >= size) return given;
  full.resize(length);
  if (full.rfind(L"\\\\", 0) != 0) return L"\\\\?\\" + full;
  if (full.rfind(L"\\\\.\\", 0) == 0 || full.rfind(L"\\\\?\\", 0) == 0) return full;
  return L"\\\\?\\UNC\\" + full.substr(2);
}

std::string describe(const Path& path) { return "'" + path.u8string() + "'"; }

File::File(const Path& path, intptr_t handle, uint64_t size)
    : path_(path), handle_(handle), size_(size) {}

File::~File() {
  if (handleOf(handle_) != INVALID_HANDLE_VALUE) CloseHandle(handleOf(handle_));
}

std::unique_ptr<File> File::open(const Path& path, Mode mode, Status& status) {
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  if (mode != Mode::Read) access |= GENERIC_WRITE;
  if (mode == Mode::CreateNew) disposition = CREATE_NEW;
  if (mode == Mode::Truncate) disposition = CREATE_ALWAYS;
  // A reader lets other programs keep the file open for writing too, as a running game does
  // with its packages; anything that writes shares reading only.
  DWORD share = mode == Mode::Read ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
  HANDLE handle = CreateFileW(win32Path(path).c_str(), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    status = osError(mode == Mode::Read ? ErrorCode::OpenFailed : ErrorCode::WriteFailed,
                     "cannot open", path, GetLastError());
    return nullptr;
  }
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) {
    CloseHandle(handle);
    status = {ErrorCode::OpenFailed, "cannot open " + describe(path) + ": not a regular file"};
    return nullptr;
  }
  return std::unique_ptr<File>(
      new File(path, reinterpret_cast<intptr_t>(handle), static_cast<uint64_t>(size.QuadPart)));
}

bool File::shrankOnSystem() const {
  LARGE_INTEGER size{};
  return GetFileSizeEx(handleOf(handle_), &size) && static_cast<uint64_t>(size.QuadPart) < size_;
}

// The folder's inherited permissions are the copy's: a package's own are not copied.
std::unique_ptr<File> File::createLike(const Path& path, const FileLock&, Status& status) {
  return open(path, Mode::CreateNew, status);
}

namespace {
// Far past the end of any real file: locking it keeps out a second holder, never a reader.
constexpr DWORD kLockOffsetHigh = 0x40000000u;
}  // namespace

std::unique_ptr<FileLock> FileLock::acquire(const Path& path, Status& status, Status* writable) {
  if (writable) *writable = opensForWriting(path);
  // Readers and a rename of the file stay possible; no one else may open it for writing.
  HANDLE handle =
      CreateFileW(win32Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    status = error == ERROR_SHARING_VIOLATION
                 ? Status(ErrorCode::InUse, describe(path) + " is in use by another program")
                 : osError(ErrorCode::OpenFailed, "cannot open", path, error);
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(handle);
    status = {ErrorCode::OpenFailed, "cannot open " + describe(path) + ": not a regular file"};
    return nullptr;
  }
  OVERLAPPED range{};
  range.OffsetHigh = kLockOffsetHigh;
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
    DWORD error = GetLastError();
    CloseHandle(handle);
    status = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING
                 ? Status(ErrorCode::InUse, describe(path) + " is in use by another run")
                 : osError(ErrorCode::WriteFailed, "cannot lock", path, error);
    return nullptr;
  }
  return std::unique_ptr<FileLock>(
      new FileLock(reinterpret_cast<intptr_t>(handle), info.nNumberOfLinks));
}

FileLock::~FileLock() { release(); }

void FileLock::release() {
  if (handleOf(handle_) != INVALID_HANDLE_VALUE) CloseHandle(handleOf(handle_));
  handle_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

// The lock's handle shares no writing: a writer that holds the file makes acquire fail, and
// one that comes later cannot open it.
FileLock::Watch FileLock::watchWriters() { return Watch::Taken; }

bool FileLock::writerArrived() const { return false; }

void FileLock::releaseBeforeReplace() { release(); }

Status File::readFromSystem(uint64_t offset, void* out, size_t count) const {
  auto* cursor = static_cast<uint8_t*>(out);
  while (count > 0) {
    DWORD step = count > kMaxStep ? kMaxStep : static_cast<DWORD>(count);
    OVERLAPPED overlapped = at(offset);
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), cursor, step, &got, &overlapped)) {
      DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF) return endedEarly(path_, offset);
      return osError(ErrorCode::OpenFailed, "cannot read", path_, error);
    }
    if (got == 0) return endedEarly(path_, offset);
    cursor += got;
    offset += got;
    count -= got;
  }
  return {};
}

Status File::writeAt(uint64_t offset, const void* data, size_t count) {
  const auto* cursor = static_cast<const uint8_t*>(data);
  while (count > 0) {
    DWORD step = count > kMaxStep ? kMaxStep : static_cast<DWORD>(count);
    OVERLAPPED overlapped = at(offset);
    DWORD put = 0;
    if (!WriteFile(handleOf(handle_), cursor, step, &put, &overlapped))
      return osError(ErrorCode::WriteFailed, "cannot write", path_, GetLastError());
    if (put == 0) return osError(ErrorCode::WriteFailed, "cannot write", path_, ERROR_DISK_FULL);
    cursor += put;
    offset += put;
    count -= put;
  }
  if (offset > size_) size_ = offset;
  return {};
}

Status File::copyFrom(const File& source, uint64_t sourceOffset, uint64_t offset, uint64_t count) {
  return copyByReading(source, sourceOffset, *this, offset, count);
}

Status File::setSize(uint64_t size) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &info, sizeof info))
    return osError(ErrorCode::WriteFailed, "cannot resize", path_, GetLastError());
  size_ = size;
  return {};
}

Status File::flush() {
  if (!FlushFileBuffers(handleOf(handle_)))
    return osError(ErrorCode::WriteFailed, "cannot flush", path_, GetLastError());
  return {};
}

Status File::close() {
  HANDLE handle = handleOf(handle_);
  handle_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
  if (!CloseHandle(handle))
    return osError(ErrorCode::WriteFailed, "cannot close", path_, GetLastError());
  return {};
}

FileIdentity File::systemIdentity() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handleOf(handle_), &info)) return {};
  return identityOf(info);
}

// Windows files take their access from the folder they are in.
uint32_t File::systemPermissions() const { return 0; }

PathKind pathKind(const Path& path) {
  DWORD attributes = GetFileAttributesW(win32Path(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Other;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
  return PathKind::File;
}

namespace {

// What the system reaches at `path`, through links and junctions, opened only to ask about it:
// a file or a folder, whoever else has it open.
HANDLE openToAsk(const Path& path) {
  return CreateFileW(win32Path(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

Path resolvedPath(const Path& path) {
  HANDLE handle = openToAsk(path);
  if (handle == INVALID_HANDLE_VALUE) return path;
  std::wstring target(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, target.data(), static_cast<DWORD>(target.size()),
                                           VOLUME_NAME_DOS);
  if (length >= target.size()) {
    target.resize(length);
    length = GetFinalPathNameByHandleW(handle, target.data(), static_cast<DWORD>(target.size()),
                                       VOLUME_NAME_DOS);
  }
  CloseHandle(handle);
  if (length == 0 || length >= target.size()) return path;
  // Given as "\\?\C:\..." or "\\?\UNC\server\...": kept in the usual form, which messages
  // show and which win32Path marks again for every call.
  target.resize(length);
  if (target.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + target.substr(7);
  return target.rfind(L"\\\\?\\", 0) == 0 ? target.substr(4) : target;
}

namespace {

// Whether what the system reaches at `path`, through links and junctions, is a folder; false
// with `error` set when nothing can be opened there.
bool reachesFolder(const Path& path, DWORD& error) {
  HANDLE handle = openToAsk(path);
  error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  bool folder = GetFileInformationByHandle(handle, &info) &&
                (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(handle);
  return folder;
}

// `folder` and its missing parents; `named` is the whole path the caller gave, for messages.
Status createFolders(const Path& folder, const Path& named) {
  DWORD error = ERROR_SUCCESS;
  if (reachesFolder(folder, error)) return {};
  if (error == ERROR_SUCCESS) return notAFolder(folder, named);
  if (isMissing(error)) {
    const Path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
      Status status = createFolders(parent, named);
      if (!status.ok()) return status;
    }
    if (CreateDirectoryW(win32Path(folder).c_str(), nullptr)) return {};
    error = GetLastError();
    // Made by another program meanwhile; a dangling link stays something else.
    DWORD again = ERROR_SUCCESS;
    if (error == ERROR_ALREADY_EXISTS && reachesFolder(folder, again)) return {};
    if (error == ERROR_ALREADY_EXISTS) return notAFolder(folder, named);
  }
  return osError(ErrorCode::WriteFailed, "cannot create folder", named, error);
}

}  // namespace

Status createFolder(const Path& path) { return createFolders(path.empty() ? L"." : path, path); }

Status replaceFile(const Path& source, const Path& target) {
  // Windows refuses to replace a read-only file; Wine replaces it. The user's mark holds on both.
  const DWORD attributes = GetFileAttributesW(win32Path(target).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return osError(ErrorCode::WriteFailed, "cannot replace", target, ERROR_ACCESS_DENIED);
  if (!MoveFileExW(win32Path(source).c_str(), win32Path(target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return osError(ErrorCode::WriteFailed, "cannot replace", target, GetLastError());
  return {};
}

void removeFile(const Path& path) { DeleteFileW(win32Path(path).c_str()); }

// MoveFileExW with MOVEFILE_WRITE_THROUGH already returns once the rename is on disk.
Status flushFolder(const Path&) { return {}; }

std::unique_ptr<Folder> Folder::open(const Path& path, Status& status) {
  HANDLE handle = openFolderHandle(path.empty() ? Path(L".") : path, 0);
  if (handle == INVALID_HANDLE_VALUE) {
    status = osError(ErrorCode::WriteFailed, "cannot open folder", path, GetLastError());
    return nullptr;
  }
  return std::unique_ptr<Folder>(new Folder(path, reinterpret_cast<intptr_t>(handle)));
}

Folder::~Folder() { CloseHandle(handleOf(handle_)); }

std::unique_ptr<Folder> Folder::child(const Path& name, Status& status) const {
  Path path = path_ / name;
  if (!CreateDirectoryW(win32Path(path).c_str(), nullptr) &&
      GetLastError() != ERROR_ALREADY_EXISTS) {
    status = osError(ErrorCode::WriteFailed, "cannot create folder", path, GetLastError());
    return nullptr;
  }
  // Opened as whatever is there now, link or not, and kept only when it is a plain folder.
  HANDLE handle = openFolderHandle(path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) {
    status = osError(ErrorCode::WriteFailed, "cannot open folder", path, GetLastError());
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(handle);
    status = notAFolder(path, path);
    return nullptr;
  }
  return std::unique_ptr<Folder>(new Folder(path, reinterpret_cast<intptr_t>(handle)));
}

std::unique_ptr<File> Folder::createTemporary(const std::string& stem, uint32_t,
                                              OwnedTemporary& temporary, Status& status) const {
  constexpr int kAttempts = 100;
  DWORD error = ERROR_FILE_EXISTS;
  Path name;
  for (int attempt = 0; attempt < kAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
    name = stem + "-" + std::to_string(temporarySuffix()) + ".tmp";
    HANDLE handle = CreateFileW(win32Path(path_ / name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      temporary.adopt(this, name);
      return std::unique_ptr<File>(new File(path_ / name, reinterpret_cast<intptr_t>(handle), 0));
    }
    error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
  }
  status = osError(ErrorCode::WriteFailed, "cannot create", path_ / name, error);
  return nullptr;
}

Status Folder::inspect(const Path& name, Entry& entry) const {
  HANDLE handle =
      CreateFileW(win32Path(path_ / name).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (isMissing(error)) return {};
    return osError(ErrorCode::WriteFailed, "cannot inspect", path_ / name, error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  bool disk = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  DWORD attributes = info.dwFileAttributes;
  entry.kind = !disk || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? PathKind::Other
               : (attributes & FILE_ATTRIBUTE_DIRECTORY)            ? PathKind::Folder
                                                                    : PathKind::File;
  entry.identity = identityOf(info);
  entry.writable = !(attributes & FILE_ATTRIBUTE_READONLY);
  return {};
}

Status Folder::replace(const Path& from, const Path& to) const {
  return replaceFile(path_ / from, path_ / to);
}

Status Folder::moveToNewName(const Path& from, const Path& to) const {
  if (MoveFileExW(win32Path(path_ / from).c_str(), win32Path(path_ / to).c_str(),
                  MOVEFILE_WRITE_THROUGH))
    return {};
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
    return {ErrorCode::Exists, describe(path_ / to) + " already exists: kept"};
  return osError(ErrorCode::WriteFailed, "cannot create", path_ / to, error);
}

PathKind Folder::kindOf(const Path& name) const {
  Entry entry;
  return inspect(name, entry).ok() ? entry.kind : PathKind::Other;
}

void Folder::remove(const Path& name) const { removeFile(path_ / name); }

Path::string_type nameKey(const Path& name) {
  std::wstring key = name.native();
  CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

Path fromPackageName(std::string_view name) {
  if (name.empty()) return Path();
  int length =
      MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
  return Path(wide);
}

}  // namespace hl::io
