// Extraction: one file through a temporary sibling that replaces the target only when whole,
// and whole folders with their trees, refusing names that could leave the destination and
// names already taken in their folder. Everything below the destination is reached through
// folder handles, so a folder swapped for a link during the run cannot redirect a write.
#include "extract.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "call_guard.h"
#include "file_plan.h"
#include "names.h"
#include "package_data.h"

namespace hl {
namespace {

// Copies are at least readable and writable by their owner, and otherwise no more open than
// the file they come from.
constexpr uint32_t kOwnerReadWrite = 0600;
// A file is copied in steps of this size, each told to the progress.
constexpr uint64_t kCopyStep = uint64_t{4} << 20;

Status kept(const io::Folder& folder, const io::Path& name) {
  return {ErrorCode::Exists, io::describe(folder.path() / name) + " already exists: kept"};
}

// Writes one file as `name` in `folder` through a temporary of its own, which replaces the
// target only when complete: a failure never leaves half a file or harms an older copy. With
// ExistingFiles::Keep a file already there is kept instead. `copied` (which may be empty) is
// told the bytes copied so far after each step.
Status writeFile(const PackageData& d, uint32_t item, const io::Folder& folder,
                 const io::Path& name, ExistingFiles existing,
                 const std::function<void(uint64_t copied)>& copied = {}) {
  // Checked first so a kept file costs no copy; the final move checks again.
  if (existing == ExistingFiles::Keep && folder.kindOf(name) != io::PathKind::Missing)
    return kept(folder, name);
  FilePlan plan;
  Status status = planFile(d, item, true, plan);
  if (status.ok()) status = readable(d, item, plan);
  if (!status.ok()) return status;
  // An empty NCF file missing on disk has no source of its own.
  const io::File& source = plan.source ? *plan.source : *d.file;
  const io::FileIdentity sources[] = {d.file->identity(), source.identity()};
  status = folder.checkReplaceable(name, sources, std::size(sources));
  if (!status.ok()) return status;

  io::OwnedTemporary temporary;
  uint32_t permissions = (source.permissions() & 0666) | kOwnerReadWrite;
  std::unique_ptr<io::File> out =
      folder.createTemporary("~hlx" + std::to_string(item), permissions, temporary, status);
  if (!out) return status;
  uint64_t copiedBytes = 0;
  for (const ByteRun& run : plan.runs)
    for (uint64_t at = 0; status.ok() && at < run.size; at += kCopyStep) {
      const uint64_t count = std::min(kCopyStep, run.size - at);
      status = out->copyFrom(*plan.source, run.sourceOffset + at, run.fileOffset + at, count);
      if (status.ok() && copied) copied(copiedBytes += count);
    }
  if (status.ok() && out->size() != plan.info.size) status = out->setSize(plan.info.size);
  if (status.ok()) status = out->close();
  out.reset();
  if (status.ok())
    status = existing == ExistingFiles::Keep ? folder.moveToNewName(temporary.path(), name)
                                             : folder.replace(temporary.path(), name);
  if (status.ok()) temporary.keep();
  return status;
}

// `kind` is "item" or "folder".
Status unsafe(std::string_view name, const char* kind = "item") {
  return {ErrorCode::UnsafeName, std::string("refusing the ") + kind + " name '" +
                                     std::string(name) +
                                     "': it could leave the destination folder"};
}

// ItemNotFound for a number past the package's last item; the damage of the tree below it.
Status extractable(const Package& package, uint32_t item) {
  return item < package.itemCount()
             ? checkTreeBelow(modelOf(package), item)
             : Status{ErrorCode::ItemNotFound, "no item " + std::to_string(item)};
}

Status clash(const std::string& name) {
  return {ErrorCode::NameClash,
          "not extracted: an earlier item of the same folder already has the name '" + name + "'"};
}

// The bytes of the files that extracting `item` writes.
Status bytesBelow(const Package& package, uint32_t item, uint64_t& total) {
  total = package.isFile(item) ? package.itemSize(item) : 0;
  return walkItems(modelOf(package), item, '\\', [&](uint32_t child, const std::string&) {
    if (package.isFile(child)) total += package.itemSize(child);
  });
}

class TreeExtraction {
 public:
  TreeExtraction(const Package& package, const ExtractObserver& observer, ExtractSummary& summary,
                 ExistingFiles existing, const ExtractProgress& progress, uint64_t total)
      : package_(package),
        observer_(observer),
        summary_(summary),
        existing_(existing),
        progress_(progress),
        total_(total) {}

  void file(uint32_t item, const io::Folder& folder, const io::Path& name,
            const std::string& shownPath) {
    Status status = writeFile(modelOf(package_), item, folder, name, existing_,
                              [&](uint64_t copied) { tell(done_ + copied); });
    if (status.ok()) {
      ++summary_.filesWritten;
      summary_.bytesWritten += package_.itemSize(item);
    } else if (package_.type() == PackageType::Gcf && package_.fileShrank()) {
      // Every file after this one would fail the same way: one error says it all.
      stopped_ = true;
      status = {status.code(), status.message() + "; extraction stopped"};
    }
    report(shownPath, status);
    tell(done_ += package_.itemSize(item));
  }

  // The folder's contents into `target`. The walk is depth first, so the open folders are
  // those on the way from `target` to the current item: one handle per level.
  // What the walk's visitor throws passes on to the caller's guard.
  Status contents(uint32_t folder, const io::Folder& target, const std::string& shownPrefix) {
    struct Level {
      uint32_t item;
      std::unique_ptr<io::Folder> owned;  // null for `target`
      const io::Folder* folder;
      std::unordered_set<io::Path::string_type> names;  // written into it by this run
    };
    std::vector<Level> levels;
    levels.push_back({folder, nullptr, &target, {}});
    auto place = [&](uint32_t item, const std::string& relative) {
      if (stopped_) return;
      uint32_t parent = package_.parent(item);
      auto level = std::find_if(levels.rbegin(), levels.rend(),
                                [&](const Level& l) { return l.item == parent; });
      if (level == levels.rend()) return;  // below a folder that was refused
      levels.erase(level.base(), levels.end());
      Level& here = levels.back();
      std::string shown = shownPrefix + relative;
      std::string_view raw = package_.name(item);
      if (!isSafeName(raw)) return report(shown, unsafe(raw));
      io::Path name = io::fromPackageName(raw);
      if (!here.names.insert(io::nameKey(name)).second)
        return report(shown, clash(std::string(raw)));
      if (package_.isFile(item)) return file(item, *here.folder, name, shown);
      Status status;
      std::unique_ptr<io::Folder> child = here.folder->child(name, status);
      if (!child) return report(shown, status);
      const io::Folder* open = child.get();
      levels.push_back({item, std::move(child), open, {}});
    };
    return walkItems(modelOf(package_), folder, '\\', place);
  }

  void report(const std::string& shownPath, const Status& status) {
    if (status.code() == ErrorCode::Exists) {
      ++summary_.skipped;
    } else if (!status.ok()) {
      ++summary_.failures;
      if (first_.ok()) first_ = status;
    }
    if (observer_) observer_(shownPath, status);
  }

  const Status& result() const { return first_; }

 private:
  void tell(uint64_t done) {
    if (progress_ && done > told_) progress_(told_ = done, total_);
  }

  const Package& package_;
  const ExtractObserver& observer_;
  ExtractSummary& summary_;
  ExistingFiles existing_;
  const ExtractProgress& progress_;
  const uint64_t total_;
  uint64_t done_ = 0;  // the bytes of the files dealt with
  uint64_t told_ = 0;  // the progress told last
  Status first_;
  bool stopped_ = false;  // the package shrank while being read
};

}  // namespace

Status Package::extractFile(uint32_t file, const std::filesystem::path& target) const {
  return guarded("extraction", [&] {
    Status status;
    std::unique_ptr<io::Folder> folder = io::Folder::open(target.parent_path(), status);
    return folder ? writeFile(*data_, file, *folder, target.filename(), ExistingFiles::Replace)
                  : status;
  });
}

Destination::Destination(std::unique_ptr<io::Folder> root) { chain_.push_back(std::move(root)); }

std::unique_ptr<Destination> Destination::open(const std::filesystem::path& path, Status& status) {
  status = io::createFolder(path);
  std::unique_ptr<io::Folder> root;
  if (status.ok()) root = io::Folder::open(path, status);
  return root ? std::unique_ptr<Destination>(new Destination(std::move(root))) : nullptr;
}

const io::Folder* Destination::folder(std::string_view below, Status& status) {
  // The folders this one shares with the last stay open; the others close, innermost first.
  size_t kept = 0;
  while (kept < ends_.size() && below.substr(0, ends_[kept]) == names_.substr(0, ends_[kept]) &&
         (below.size() == ends_[kept] || below[ends_[kept]] == '\\'))
    ++kept;
  chain_.resize(kept + 1);
  ends_.resize(kept);
  names_.resize(kept ? ends_.back() : 0);
  for (size_t at = kept ? ends_.back() + 1 : 0; at < below.size();) {
    const size_t end = std::min(below.find('\\', at), below.size());
    const std::string_view name = below.substr(at, end - at);
    if (!isSafeName(name)) {
      status = unsafe(name, "folder");
      return nullptr;
    }
    std::unique_ptr<io::Folder> child = chain_.back()->child(io::fromPackageName(name), status);
    if (!child) return nullptr;
    chain_.push_back(std::move(child));
    names_.append(names_.empty() ? "" : "\\").append(name);
    ends_.push_back(names_.size());
    at = end + 1;
  }
  return chain_.back().get();
}

Status extractItem(const Package& package, uint32_t item, Destination& destination,
                   std::string_view below, const ExtractObserver& observer, ExtractSummary& summary,
                   ExistingFiles existing, const ExtractProgress& progress) {
  return guarded("extraction", [&]() -> Status {
    Status status = extractable(package, item);
    uint64_t total = 0;
    if (status.ok() && progress) status = bytesBelow(package, item, total);
    const io::Folder* folder = status.ok() ? destination.folder(below, status) : nullptr;
    if (!folder) return status;
    TreeExtraction extraction(package, observer, summary, existing, progress, total);
    std::string name(package.name(item));
    if (item == kRootItem) {
      status = extraction.contents(item, *folder, "");
    } else if (!isSafeName(name)) {
      extraction.report(name, unsafe(name));
    } else if (package.isFile(item)) {
      extraction.file(item, *folder, io::fromPackageName(name), name);
    } else if (auto child = folder->child(io::fromPackageName(name), status)) {
      status = extraction.contents(item, *child, name + "\\");
    } else {
      extraction.report(name, status);
    }
    return status.ok() ? extraction.result() : status;
  });
}

Status extractItem(const Package& package, uint32_t item, const std::filesystem::path& destination,
                   const ExtractObserver& observer, ExtractSummary& summary, ExistingFiles existing,
                   const ExtractProgress& progress) {
  return guarded("extraction", [&]() -> Status {
    // Checked before the destination is made: a wrong number or a damaged tree makes no folder.
    Status status = extractable(package, item);
    std::unique_ptr<Destination> opened;
    if (status.ok()) opened = Destination::open(destination, status);
    return opened ? extractItem(package, item, *opened, {}, observer, summary, existing, progress)
                  : status;
  });
}

}  // namespace hl
