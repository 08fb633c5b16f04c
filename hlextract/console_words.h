// The console's pure text rules: splitting a command line into words, wildcard names and item
// paths relative to the current folder. No package and no I/O, so they are tested directly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hlextract {

// Blanks separate words; double quotes group a name with blanks and are dropped. Backslashes
// are ordinary characters, as item paths are full of them. False, with `error` set, for a
// quote left open.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& error);

// `*` stands for any run of characters, `?` for one; letters match without regard to ASCII case.
bool matchesWildcard(std::string_view pattern, std::string_view name);

// The path below the root that `word` names from the folder `current` ("" is the root;
// components joined by '\'). "root" or "root\..." is absolute; '\' and '/' both separate;
// "." stays and ".." goes up. False when ".." would climb above the root.
bool joinItemPath(const std::string& current, std::string_view word, std::string& path);

}  // namespace hlextract
