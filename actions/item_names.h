// The parts of package paths and item paths that the item commands work with. Item paths are
// the list's entries: relative to the package root, folders separated by backslashes.
#pragma once

#include <string>

namespace vaultpick {

// The part of the package path after its last "."; all of it when it holds no dot.
std::wstring packageExtension(const std::wstring& package);
// Items of a package whose extension is exactly "ncf" (case-sensitive) are never extracted.
bool isNcfPackage(const std::wstring& package);
// A file that the program opens as a package, dropped on its window: its name ends in ".gcf"
// or ".ncf", in any case.
bool hasPackageExtension(const std::wstring& path);
// The part of the package path after its last "\"; all of it when it holds none.
std::wstring packageName(const std::wstring& package);
// The part of an item path after its last "\"; all of it when it holds none.
std::wstring itemFileName(const std::wstring& item);
// A name as the program's boxes show it: each control character (below 0x20, and 0x7F) as
// "\xNN" with two upper-case hex digits, so a name cannot break a box's lines or hide in it.
// The tool writes names in its messages the same way.
std::wstring shownName(const std::wstring& name);

// The folders of an item path: its part before the last "\"; empty when it holds none.
std::wstring itemFolders(const std::wstring& item);

}  // namespace vaultpick
