// Finding an item named on the command line or in a job file.
#pragma once

#include <cstdint>

#include "arguments.h"
#include "hllib/hllib.hpp"

namespace hlextract {

// The item whose path `word` names, beginning with the root's own name ("root\", "root/" or
// "root", in any case); HL_NO_ITEM when there is none.
uint32_t findItem(const hllib::Package& package, const NativeString& word);

}  // namespace hlextract
