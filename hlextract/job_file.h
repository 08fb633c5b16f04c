// --jobs: many extractions from one reading of the package, each item into its own folder, with
// one result line for each on standard output as it finishes.
#pragma once

#include <filesystem>

#include "hllib/hllib.hpp"

namespace hlextract {

// Runs the job file's jobs in order and gives the exit code: 0 when every item was written,
// else the code of the first that failed; kExitBadJobFile (nothing done) for a file that is not
// a job file, kExitJobsStopped when the results could no longer be written (the caller stopped
// reading them: the run ends between two items).
//
// The job file is UTF-8: for each job the destination folder, a NUL byte, the item path
// (root\...), a NUL byte. Each result line is "<n> TAB ok" or "<n> TAB failed TAB <reason>",
// n counting the jobs from 1.
int runJobFile(const hllib::Package& package, const std::filesystem::path& jobFile);

}  // namespace hlextract
