// The directory tree: its one-time structural check, and lookups and walks that rely on it.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "call_guard.h"
#include "names.h"
#include "package_data.h"

namespace hl {
namespace {

Status damaged(const std::string& message) { return {ErrorCode::Damaged, message}; }

std::string item(uint32_t index) { return "directory entry " + std::to_string(index); }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

Status checkDirectoryTree(PackageData& data) {
  if (data.nameSize == 0 || *data.metadata.read(data.sections.names + data.nameSize - 1, 1) != 0)
    return damaged("the name table does not end in a NUL");
  DirectoryEntry root = data.entry(kRootItem);
  if (root.isFile()) return damaged("the root item is marked as a file");
  if (root.nameOffset >= data.nameSize)
    return damaged(item(0) + " names offset " + std::to_string(root.nameOffset) +
                   ", past the name table of " + std::to_string(data.nameSize) + " bytes");

  // One byte per item rather than one bit: this runs over every item at each opening.
  std::vector<uint8_t> visited(data.itemCount);
  visited[kRootItem] = 1;
  std::vector<uint32_t> folders{kRootItem};
  uint32_t reached = 1, files = 0;
  bool filesWithChildren = false;
  while (!folders.empty()) {
    uint32_t folder = folders.back();
    folders.pop_back();
    // Each child is marked when reached, so a sibling chain that loops ends at the repeat.
    for (uint32_t child = data.entry(folder).first; child != 0;) {
      if (child >= data.itemCount)
        return damaged(item(folder) + " links to item " + std::to_string(child) +
                       ", past the last item " + std::to_string(data.itemCount - 1));
      if (visited[child])
        return damaged(item(child) + " is reached twice: the directory tree has a cycle");
      visited[child] = 1;
      ++reached;
      DirectoryEntry entry = data.entry(child);
      if (entry.parent != folder)
        return damaged(item(child) + " lies in folder " + std::to_string(folder) + " but names " +
                       std::to_string(entry.parent) + " as its parent");
      if (entry.nameOffset >= data.nameSize)
        return damaged(item(child) + " names offset " + std::to_string(entry.nameOffset) +
                       ", past the name table of " + std::to_string(data.nameSize) + " bytes");
      if (entry.isFile()) {
        ++files;
        filesWithChildren |= entry.first != 0;
      } else {
        folders.push_back(child);
      }
      child = entry.next;
    }
  }
  if (filesWithChildren) data.warnings.push_back("some files claim children, which are ignored");
  if (reached != data.itemCount)
    data.warnings.push_back(std::to_string(data.itemCount - reached) +
                            " items are not in the directory tree");
  if (files != data.fileCount)
    data.warnings.push_back("the directory counts " + std::to_string(data.fileCount) +
                            " files, its tree holds " + std::to_string(files));
  data.inTree = std::move(visited);
  return {};
}

uint32_t Package::find(std::string_view path) const {
  const PackageData& d = *data_;
  uint32_t current = kRootItem;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    if (d.entry(current).isFile()) return kNoItem;
    uint32_t exact = kNoItem, folded = kNoItem;
    for (uint32_t child = d.entry(current).first; child != 0 && exact == kNoItem;
         child = d.entry(child).next) {
      std::string_view name = d.name(child);
      if (name == component)
        exact = child;
      else if (folded == kNoItem && equalsIgnoringCase(name, component))
        folded = child;
    }
    current = exact != kNoItem ? exact : folded;
    if (current == kNoItem) return kNoItem;
  }
  return current;
}

namespace {

// Names from the root down to the item; the tree check bounds the climb.
std::vector<std::string_view> namesTo(const PackageData& data, uint32_t item) {
  std::vector<std::string_view> names;
  for (uint32_t at = item; at != kRootItem && at < data.itemCount && names.size() < data.itemCount;
       at = data.entry(at).parent)
    names.push_back(data.name(at));
  std::reverse(names.begin(), names.end());
  return names;
}

}  // namespace

std::string itemPath(const PackageData& data, uint32_t item, char separator) {
  std::string joined;
  for (std::string_view name : namesTo(data, item)) {
    if (!joined.empty()) joined += separator;
    joined += name;
  }
  return joined;
}

bool itemFilePath(const PackageData& data, uint32_t item, io::Path& path) {
  path.clear();
  for (std::string_view name : namesTo(data, item)) {
    if (!isSafeName(name)) return false;
    path /= io::fromPackageName(name);
  }
  return true;
}

std::string Package::path(uint32_t item, char separator) const {
  return itemPath(*data_, item, separator);
}

void walkItems(const PackageData& d, uint32_t folder, char separator, const ItemVisitor& visit) {
  if (folder >= d.itemCount || !d.inTree[folder] || d.entry(folder).isFile()) return;
  struct Level {
    uint32_t nextChild;
    size_t pathLength;
  };
  std::vector<Level> levels{{d.entry(folder).first, 0}};
  std::string path;
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.nextChild == 0) {
      levels.pop_back();
      continue;
    }
    uint32_t child = level.nextChild;
    DirectoryEntry entry = d.entry(child);
    level.nextChild = entry.next;
    path.resize(level.pathLength);
    if (!path.empty()) path += separator;
    path += d.name(child);
    visit(child, path);
    if (!entry.isFile()) levels.push_back({entry.first, path.size()});
  }
}

Status Package::walk(uint32_t folder, char separator, const ItemVisitor& visit) const {
  return guarded("walking the package", [&] {
    walkItems(*data_, folder, separator, visit);
    return Status();
  });
}

uint32_t Package::fileCountBelow(uint32_t folder) const {
  uint32_t count = 0;
  walkItems(*data_, folder, '\\',
            [&](uint32_t item, const std::string&) { count += isFile(item) ? 1 : 0; });
  return count;
}

}  // namespace hl
