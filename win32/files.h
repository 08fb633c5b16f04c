// Plain-file questions and the one way the program replaces a file of its own.
#pragma once

#include <functional>
#include <string>

namespace vaultpick {

// What the Win32 file calls are given for `path`, and the only way the program gives them one:
// made absolute and normalised as the system would (GetFullPathNameW), then marked "\\?\" (a
// share: "\\?\UNC\") so that no length limit applies. Device paths ("\\.\"), paths already
// marked, and paths the system cannot make absolute are given as they stand.
std::wstring win32Path(const std::wstring& path);

// True when `path` names at least one plain file (no folder, hidden or system file); wildcards
// match as in any directory search. Never fails: an invalid path is simply false.
bool FileExists(const std::wstring& path);

// Makes `target` anew: `write` fills the sibling path `partial`, which then replaces `target` in
// one move. When either step fails the sibling is removed and `target` stays as it was, so no
// reader ever sees half a file and an older copy survives a failed write.
bool replaceThroughSibling(const std::wstring& target, const std::wstring& partial,
                           const std::function<bool(const std::wstring& partial)>& write);

}  // namespace vaultpick
