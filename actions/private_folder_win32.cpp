// This run's own folder inside the temporary folder.
#include <windows.h>

#include <filesystem>

#include "actions/private_folder.h"

namespace vaultpick {

namespace {

// Tries this many names before giving up; others' folders of the same name are never reused.
constexpr unsigned kAttempts = 100;

}  // namespace

PrivateFolder::PrivateFolder(const std::wstring& parent) {
  if (parent.empty()) return;
  static unsigned counter = 0;
  const std::wstring prefix =
      parent + L"\\vaultpick-" + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
    std::wstring candidate = prefix + std::to_wstring(++counter);
    // Created afresh or not at all: an existing folder of that name is someone else's.
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = std::move(candidate);
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

PrivateFolder::~PrivateFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

}  // namespace vaultpick
