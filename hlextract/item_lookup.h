// Finding an item named on the command line or in a job file.
#pragma once

#include <cstdint>

#include "arguments.h"
#include "package.h"

namespace hlextract {

// The item whose path `word` names, beginning with the root's own name ("root\", "root/" or
// "root", in any case); hl::kNoItem when there is none.
uint32_t findItem(const hl::Package& package, const NativeString& word);

}  // namespace hlextract
