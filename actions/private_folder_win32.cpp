// This run's own folders inside the temporary folder.
#include <windows.h>

#include "actions/private_folder.h"
#include "actions/private_folder_name.h"
#include "win32/files.h"
#include "win32/handles.h"

namespace vaultpick {

namespace {

// Tries this many names before giving up; others' folders of the same name are never reused.
constexpr unsigned kAttempts = 100;

uint64_t ticksOf(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<uint64_t> creationTimeOf(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
  return ticksOf(created);
}

RunIdentity thisRun() {
  return {GetCurrentProcessId(), creationTimeOf(GetCurrentProcess()).value_or(0)};
}

// True only when the run is known to be over: no process has its id, the id now belongs to a
// process started at another time, or its process has ended (and is only held by a handle).
// A process that may not be asked about (another user's) counts as running.
bool hasEnded(const RunIdentity& run) {
  UniqueHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, run.processId));
  if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
  const std::optional<uint64_t> created = creationTimeOf(process.get());
  if (!created) return false;
  return *created != run.creationTime || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

// Removes a folder and what is in it. A link or junction inside is removed itself, never the
// folder it leads to; files in use stay, and so does the folder then.
void removeTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(win32Path(folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const DWORD attributes = found.dwFileAttributes;
      if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(win32Path(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(win32Path(path).c_str());
      } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveDirectoryW(win32Path(path).c_str());
      } else {
        removeTree(path);
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(win32Path(folder).c_str());
}

}  // namespace

PrivateFolder::PrivateFolder(const std::wstring& parent) {
  if (parent.empty()) return;
  static unsigned counter = 0;
  const RunIdentity run = thisRun();
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    std::wstring candidate = parent + L"\\" + privateFolderName(run, ++counter);
    // Created afresh or not at all: an existing folder of that name is someone else's.
    if (CreateDirectoryW(win32Path(candidate).c_str(), nullptr)) {
      path_ = std::move(candidate);
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

PrivateFolder::~PrivateFolder() {
  if (!path_.empty()) removeTree(path_);
}

void removePrivateFoldersOfEndedRuns(const std::wstring& parent) {
  if (parent.empty()) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(win32Path(parent + L"\\vaultpick-*").c_str(), FindExInfoBasic,
                                   &found, FindExSearchLimitToDirectories, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // Only real folders of exactly our names; a link of that name is left alone.
    const DWORD attributes = found.dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    const std::optional<RunIdentity> run = runOfPrivateFolder(found.cFileName);
    if (run && hasEnded(*run)) removeTree(parent + L"\\" + found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace vaultpick
