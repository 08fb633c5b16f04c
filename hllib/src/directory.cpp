// The directory tree: lookups that check the entries on their way, walks that check the tree
// they walk first, and the whole tree's check, made once.
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

Status explainedByReads(const PackageData& data, const Status& status) {
  Status reads = data.metadata.status();
  return reads.ok() ? status : reads;
}

Status checkRoot(const PackageData& data) {
  if (data.nameSize == 0 || *data.metadata.read(data.sections.names + data.nameSize - 1, 1) != 0)
    return explainedByReads(data, damaged("the name table does not end in a NUL"));
  DirectoryEntry root = data.entry(kRootItem);
  if (root.isFile()) return explainedByReads(data, damaged("the root item is marked as a file"));
  if (root.nameOffset >= data.nameSize)
    return explainedByReads(
        data, damaged(item(0) + " names offset " + std::to_string(root.nameOffset) +
                      ", past the name table of " + std::to_string(data.nameSize) + " bytes"));
  return explainedByReads(data, {});
}

namespace {

// Follows `folder`'s child chain, checking each link: the child lies in the table, is met once,
// names `folder` as its parent and has its name inside the name table. With `reached`, a child
// marked there is met twice (the tree has a cycle) and each child gets marked; without it, a
// chain longer than the items can be is one that loops. `visit(child, entry)` returns false to
// stop early.
template <typename Visit>
Status followChildren(const PackageData& data, uint32_t folder, std::vector<uint8_t>* reached,
                      Visit&& visit) {
  uint32_t steps = 0;
  for (uint32_t child = data.entry(folder).first; child != 0;) {
    if (child >= data.itemCount)
      return damaged(item(folder) + " links to item " + std::to_string(child) +
                     ", past the last item " + std::to_string(data.itemCount - 1));
    if (reached && (*reached)[child])
      return damaged(item(child) + " is reached twice: the directory tree has a cycle");
    if (reached) (*reached)[child] = 1;
    if (!reached && ++steps >= data.itemCount)
      return damaged(item(folder) + "'s children link in a cycle");
    DirectoryEntry entry = data.entry(child);
    if (entry.parent != folder)
      return damaged(item(child) + " lies in folder " + std::to_string(folder) + " but names " +
                     std::to_string(entry.parent) + " as its parent");
    if (entry.nameOffset >= data.nameSize)
      return damaged(item(child) + " names offset " + std::to_string(entry.nameOffset) +
                     ", past the name table of " + std::to_string(data.nameSize) + " bytes");
    if (!visit(child, entry)) return {};
    child = entry.next;
  }
  return {};
}

struct TreeCounts {
  uint32_t reached = 0, files = 0;
  bool filesWithChildren = false;
};

// Checks every link below `top`, whose way from the root is marked in `reached` already.
Status checkBelow(const PackageData& data, uint32_t top, std::vector<uint8_t>& reached,
                  TreeCounts& counts) {
  std::vector<uint32_t> folders{top};
  while (!folders.empty()) {
    uint32_t folder = folders.back();
    folders.pop_back();
    Status status =
        followChildren(data, folder, &reached, [&](uint32_t child, const DirectoryEntry& entry) {
          ++counts.reached;
          if (!entry.isFile())
            folders.push_back(child);
          else if (++counts.files, entry.first != 0)
            counts.filesWithChildren = true;
          return true;
        });
    if (!status.ok()) return status;
  }
  return {};
}

// Whether `folder` is reached from the root: its parent links climb to the root, and each is
// found in its parent's child chain, checked on the way down. `path` gets the items from the
// root to `folder`.
Status reachFromRoot(const PackageData& data, uint32_t folder, std::vector<uint32_t>& path,
                     bool& reached) {
  reached = false;
  path.assign(1, folder);
  for (uint32_t at = folder; at != kRootItem; path.push_back(at)) {
    at = data.entry(at).parent;
    if (at >= data.itemCount || path.size() >= data.itemCount) return {};
  }
  std::reverse(path.begin(), path.end());
  for (size_t level = 1; level < path.size(); ++level) {
    const uint32_t parent = path[level - 1], wanted = path[level];
    if (data.entry(parent).isFile()) return {};  // a file's child link is never followed
    bool found = false;
    Status status =
        followChildren(data, parent, nullptr, [&](uint32_t child, const DirectoryEntry&) {
          found = child == wanted;
          return !found;
        });
    if (!status.ok() || !found) return status;
  }
  reached = true;
  return {};
}

}  // namespace

Status checkWalk(const PackageData& data, uint32_t folder, bool& walkable) {
  walkable = false;
  if (folder >= data.itemCount)
    return {ErrorCode::ItemNotFound, "no item " + std::to_string(folder) + " in the package"};
  if (folder == kRootItem) {
    const Status& status = checkWholeTree(data);
    walkable = status.ok();
    return status;
  }
  if (data.entry(folder).isFile()) return explainedByReads(data, {});
  if (data.tree.done.load(std::memory_order_acquire) && data.tree.status.ok()) {
    walkable = data.tree.reached[folder] != 0;
    return {};
  }
  PackageData::CheckedFolders& checked = data.checkedFolders;
  {
    std::lock_guard<std::mutex> lock(checked.mutex);
    walkable =
        std::find(checked.folders.begin(), checked.folders.end(), folder) != checked.folders.end();
    if (walkable) return {};
  }
  std::vector<uint32_t> path;
  bool reached = false;
  Status status = reachFromRoot(data, folder, path, reached);
  if (!status.ok() || !reached) return explainedByReads(data, status);
  std::vector<uint8_t> marks(data.itemCount);
  for (uint32_t on : path) marks[on] = 1;
  TreeCounts counts;
  status = explainedByReads(data, checkBelow(data, folder, marks, counts));
  walkable = status.ok();
  if (walkable) {
    constexpr size_t kRemembered = 16;
    std::lock_guard<std::mutex> lock(checked.mutex);
    if (checked.folders.size() == kRemembered) checked.folders.erase(checked.folders.begin());
    checked.folders.push_back(folder);
  }
  return status;
}

Status checkTreeBelow(const PackageData& data, uint32_t folder) {
  bool walkable = false;
  return checkWalk(data, folder, walkable);
}

const Status& checkWholeTree(const PackageData& data) {
  PackageData::WholeTree& tree = data.tree;
  std::call_once(tree.once, [&] {
    // Every entry is checked, and a walk of every name follows: both are read in one call.
    data.metadata.read(data.sections.directoryEntries,
                       uint64_t{data.itemCount} * layout::directory_entry::kSize + data.nameSize);
    // One byte per item rather than one bit: this runs over every item.
    std::vector<uint8_t> reached(data.itemCount);
    reached[kRootItem] = 1;
    TreeCounts counts;
    counts.reached = 1;
    Status status = checkBelow(data, kRootItem, reached, counts);
    if (status.ok()) {
      if (counts.filesWithChildren)
        tree.warnings.push_back("some files claim children, which are ignored");
      if (counts.reached != data.itemCount)
        tree.warnings.push_back(std::to_string(data.itemCount - counts.reached) +
                                " items are not in the directory tree");
      if (counts.files != data.fileCount)
        tree.warnings.push_back("the directory counts " + std::to_string(data.fileCount) +
                                " files, its tree holds " + std::to_string(counts.files));
      tree.reached = std::move(reached);
    }
    tree.status = explainedByReads(data, status);
    tree.done.store(true, std::memory_order_release);
  });
  return tree.status;
}

Status findItem(const PackageData& d, std::string_view path, uint32_t& item) {
  item = kNoItem;
  uint32_t current = kRootItem;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view component = path.substr(start, end - start);
    start = end + 1;
    if (component.empty()) continue;
    if (d.entry(current).isFile()) return explainedByReads(d, {});
    uint32_t exact = kNoItem, folded = kNoItem;
    Status status = followChildren(d, current, nullptr, [&](uint32_t child, const DirectoryEntry&) {
      std::string_view name = d.name(child);
      if (name == component)
        exact = child;
      else if (folded == kNoItem && equalsIgnoringCase(name, component))
        folded = child;
      return exact == kNoItem;
    });
    current = exact != kNoItem ? exact : folded;
    if (!status.ok() || current == kNoItem) return explainedByReads(d, status);
  }
  item = current;
  return explainedByReads(d, {});
}

namespace {

// Names from the root down to the item; the item count bounds the climb.
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

Status walkItems(const PackageData& data, uint32_t folder, char separator,
                 const ItemVisitor& visit) {
  return forEachItemBelow(
      data, folder, separator,
      [&](uint32_t item, const DirectoryEntry&, const std::string& path) { visit(item, path); });
}

Status Package::walk(uint32_t folder, char separator, const ItemVisitor& visit) const {
  return guarded("walking the package",
                 [&] { return walkItems(*data_, folder, separator, visit); });
}

Status Package::fileCountBelow(uint32_t folder, uint32_t& count) const {
  count = 0;
  return guarded("counting a folder's files", [&] {
    return walkItems(*data_, folder, '\\',
                     [&](uint32_t item, const std::string&) { count += isFile(item) ? 1 : 0; });
  });
}

Status Package::find(std::string_view path, uint32_t& item) const {
  item = kNoItem;
  return guarded("finding an item", [&] { return findItem(*data_, path, item); });
}

Status Package::check() const {
  return guarded("checking the package", [&] { return checkWholeTree(*data_); });
}

}  // namespace hl
