// The tool's operations on one package, run in a fixed order whatever the order of options.
#pragma once

#include "arguments.h"

namespace hlextract {

// Runs what the arguments ask for and returns the exit code.
int runCommands(const Arguments& arguments);

}  // namespace hlextract
