// A folder of this run's own inside the temporary folder, for the copies that Info and Shell
// Execute File extract: an item can then never replace a file of the user's or the program's
// own tool files there, and the copy goes when the command is done with it.
#pragma once

#include <string>

namespace vaultpick {

class PrivateFolder {
 public:
  // Creates a new, empty folder inside `parent`; path() is empty when that failed.
  explicit PrivateFolder(const std::wstring& parent);
  // Removes the folder with everything in it.
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

}  // namespace vaultpick
