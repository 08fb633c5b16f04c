// Finding an item named on the command line or in a job file.
#pragma once

#include <cstdint>

#include "arguments.h"
#include "hllib/hllib.hpp"

namespace hlextract {

// The item whose path `word` names, beginning with the root's own name ("root\", "root/" or
// "root", in any case); HL_NO_ITEM when there is none. A damaged entry on the way fails.
hllib::Status findItem(const hllib::Package& package, const NativeString& word, uint32_t& item);

}  // namespace hlextract
