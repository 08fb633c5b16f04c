// The names of the folders that hold the copies of Info and Shell Execute File inside the
// temporary folder: "vaultpick-<process id>-<the process's creation time>-<n>", the time as 16
// hex digits of the system's 100 ns units. Process ids are reused; an id together with its
// process's creation time names one run for good, so a later start can tell whether the run
// that made a folder is still going.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vaultpick {

struct RunIdentity {
  uint32_t processId = 0;
  uint64_t creationTime = 0;
  bool operator==(const RunIdentity& other) const {
    return processId == other.processId && creationTime == other.creationTime;
  }
};

std::wstring privateFolderName(const RunIdentity& run, unsigned number);
// The run that made a folder of this name; nothing when the name is not exactly of that form.
std::optional<RunIdentity> runOfPrivateFolder(const std::wstring& name);

}  // namespace vaultpick
