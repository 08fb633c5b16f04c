// Win32 implementation of the file layer: wide paths, overlapped offsets, file mappings.
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
  return {code, what + " " + describe(path) + ": " + systemMessage(error)};
}

HANDLE handleOf(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED at(uint64_t offset) {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

constexpr DWORD kMaxStep = 1u << 30;

}  // namespace

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
  HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
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

Status File::readAt(uint64_t offset, void* out, size_t count) const {
  auto* cursor = static_cast<uint8_t*>(out);
  while (count > 0) {
    DWORD step = count > kMaxStep ? kMaxStep : static_cast<DWORD>(count);
    OVERLAPPED overlapped = at(offset);
    DWORD got = 0;
    if (!ReadFile(handleOf(handle_), cursor, step, &got, &overlapped)) {
      DWORD error = GetLastError();
      if (error == ERROR_HANDLE_EOF)
        return {ErrorCode::Damaged, "unexpected end of " + describe(path_)};
      return osError(ErrorCode::OpenFailed, "cannot read", path_, error);
    }
    if (got == 0) return {ErrorCode::Damaged, "unexpected end of " + describe(path_)};
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

const uint8_t* FileView::mapFile(const File& file, uint64_t length) {
  // A 32-bit process cannot map a large package whole; callers fall back to reading.
  if (length > SIZE_MAX / 2) return nullptr;
  HANDLE mapping =
      CreateFileMappingW(handleOf(file.handle_), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return nullptr;
  void* address = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(length));
  CloseHandle(mapping);
  return static_cast<const uint8_t*>(address);
}

void FileView::unmapFile(const uint8_t* data, uint64_t) { UnmapViewOfFile(data); }

PathKind pathKind(const Path& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Other;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Folder;
  return PathKind::File;
}

Status createFolder(const Path& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return {};
  DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS && pathKind(path) == PathKind::Folder) return {};
  if (error == ERROR_ALREADY_EXISTS)
    return {ErrorCode::WriteFailed,
            "cannot create folder " + describe(path) + ": something else is there"};
  return osError(ErrorCode::WriteFailed, "cannot create folder", path, error);
}

Status replaceFile(const Path& source, const Path& target) {
  // Windows refuses to replace a read-only file; Wine replaces it. The user's mark holds on both.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return osError(ErrorCode::WriteFailed, "cannot replace", target, ERROR_ACCESS_DENIED);
  if (!MoveFileExW(source.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return osError(ErrorCode::WriteFailed, "cannot replace", target, GetLastError());
  return {};
}

void removeFile(const Path& path) { DeleteFileW(path.c_str()); }

// MoveFileExW with MOVEFILE_WRITE_THROUGH already returns once the rename is on disk.
Status flushFolder(const Path&) { return {}; }

Path fromPackageName(std::string_view name) {
  if (name.empty()) return Path();
  int length =
      MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
  return Path(wide);
}

}  // namespace hl::io
