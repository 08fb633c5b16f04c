// Item names as packages store them, in a single-byte code page, and as UTF-8 text. Packages
// say nothing of their code page; Windows-1252, the code page of the systems that made them,
// is assumed. Its five unassigned bytes stand for the C1 controls of the same number, so every
// name converts to UTF-8 and back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace hl {

std::string packageNameToUtf8(std::string_view name);
// A name typed as UTF-8, as the package spells it. Text that is not UTF-8 is taken to be in
// the code page already (a line of a list file, say) and kept as it is. False when the text
// holds a character the code page cannot spell: then it can name no item.
bool utf8ToPackageName(std::string_view text, std::string& name);

}  // namespace hl
