// A folder of this run's own inside the temporary folder, for the copies that Info and Shell
// Execute File extract: an item can then never replace a file of the user's or the program's
// own tool files there. Its name tells the run that made it (actions/private_folder_name.h), so
// a later start removes the folders of runs that ended without removing their own.
#pragma once

#include <string>

namespace vaultpick {

class PrivateFolder {
 public:
  // Creates a new, empty folder inside `parent`; path() is empty when that failed.
  explicit PrivateFolder(const std::wstring& parent);
  // Removes the folder with everything in it that is not in use.
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Removes the private folders inside `parent` whose runs have ended (crashed, killed, shut down
// with the system); those of runs still going, and any that cannot be judged, stay.
void removePrivateFoldersOfEndedRuns(const std::wstring& parent);

}  // namespace vaultpick
