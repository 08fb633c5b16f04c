// --jobs: many extractions from one reading of the package, each item into its own folder, with
// one result line for each on standard output as it finishes.
#pragma once

#include "arguments.h"
#include "hllib/hllib.hpp"

namespace hlextract {

// Runs the jobs of options.jobs in order and gives the exit code: 0 when every item was written,
// else the code of the first that failed; kExitBadJobFile (nothing done) for a file that is not
// a job file, kExitJobsStopped when the results could no longer be written (the caller stopped
// reading them: the run ends between two items).
//
// The job file is UTF-8, each field followed by a NUL byte: the destination folder (made with
// its parents, reached through links), then for each job the folders below it to write into
// (names joined by '\', made as the folders of an extracted tree: through handles, none a link;
// empty for the destination itself) and the item path (root\...). Each result line is
// "<n> TAB ok" or "<n> TAB failed TAB <reason>", n counting the jobs from 1.
//
// With options.keepExisting a job whose files were partly or wholly there already ends in
// "<n> TAB ok TAB <k> already there, kept"; options.quiet leaves out the lines of jobs that did
// not fail; options.verbose adds, before each result line, "<n> TAB extracted|kept|not
// extracted TAB <path>" for every file of the job.
int runJobFile(const hllib::Package& package, const Arguments& options);

}  // namespace hlextract
