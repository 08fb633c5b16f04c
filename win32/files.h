// Plain-file questions and the one way the program replaces a file of its own.
#pragma once

#include <functional>
#include <string>

namespace vaultpick {

// True when `path` names at least one plain file (no folder, hidden or system file); wildcards
// match as in any directory search. Never fails: an invalid path is simply false.
bool FileExists(const std::wstring& path);

// Makes `target` anew: `write` fills the sibling path `partial`, which then replaces `target` in
// one move. When either step fails the sibling is removed and `target` stays as it was, so no
// reader ever sees half a file and an older copy survives a failed write.
bool replaceThroughSibling(const std::wstring& target, const std::wstring& partial,
                           const std::function<bool(const std::wstring& partial)>& write);

}  // namespace vaultpick
