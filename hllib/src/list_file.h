// The list file: the path of every file of a package, "root\" followed by its folders and name
// joined by backslashes, one line each, ended by CR LF, in walk order. Folders have no lines.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "hllib/hllib.h"
#include "package.h"
#include "status.h"

namespace hl {

// False for a path that one line cannot hold: it would read back as two.
inline bool isListable(std::string_view path) {
  return hl_path_is_listable(path.data(), path.size()) != 0;
}

// Told of every file whose path is not listable, with that path below the root. One that
// throws ends the call with ErrorCode::Unexpected and no list written.
using UnlistableObserver = std::function<void(const std::string& path)>;

// Writes the list to `target`, which it replaces only once the list is complete: on failure
// whatever was at `target` stays as it was. A link at `target` is never followed, and a
// folder, device, read-only file or the package itself is never replaced. One unlistable
// path fails the whole list.
Status writeFileList(const Package& package, const std::filesystem::path& target,
                     const UnlistableObserver& unlistable);

}  // namespace hl
