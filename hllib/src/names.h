// Which item names may become file names: nothing a package holds may lead outside the
// folder it is extracted into, on any platform.
#pragma once

#include <string_view>

namespace hl {

// False for names that are empty, "." or "..", hold separators, drive colons, control or
// wildcard characters, end in a dot or space (Windows drops those), or name a Windows device.
bool isSafeName(std::string_view name);

}  // namespace hl
