// Many extractions in one run of the tool: a job file of destination folders and items, and the
// tool's result line for each as it finishes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolbridge/tool_run.h"

namespace vaultpick {

// One item (as the list shows it, without "root\") into folders below the destination (names
// joined by "\", empty for the destination itself), under the item's own name.
struct ExtractionJob {
  std::wstring folders;
  std::wstring item;
};

// Called once for each job, in the jobs' order: its index and, when it failed, the reason.
using JobFinished = std::function<void(size_t job, const std::wstring* reason)>;

// Writes the job file into the temporary folder, runs the tool over it once for `package` and
// removes the file again. The tool makes `destination` with its missing parents, and each job's
// folders below it as it reaches that job. `finished` hears of each job as the tool finishes it;
// jobs the tool never reached (it could not start or read the package) are reported after the run
// with the run's own reason. Nothing is reported once the program has begun to end.
ToolRun runExtractionJobs(const std::wstring& package, const std::wstring& destination,
                          const std::vector<ExtractionJob>& jobs, const JobFinished& finished);

}  // namespace vaultpick
