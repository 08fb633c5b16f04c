// The parts of package paths and item paths that the item commands work with. Item paths are
// the list's entries: relative to the package root, folders separated by backslashes.
#pragma once

#include <optional>
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

// Where the whole-package extraction puts one item: the folders to create below the chosen
// folder, and the folder the tool writes the item into.
struct ItemDestination {
  std::wstring folderPart;  // the item's folders, each followed by "\"; empty at the root
  std::wstring folder;      // destination + folders, without a trailing "\" (but "D:\" stays)
};
// Nothing when a folder of the item could lead outside the destination or is no name Windows
// keeps as written ("..", ".", an empty name, a drive, device or wildcard name...).
std::optional<ItemDestination> itemDestination(const std::wstring& destination,
                                               const std::wstring& item);

}  // namespace vaultpick
