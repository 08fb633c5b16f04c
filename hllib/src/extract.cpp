// Extraction: one file through a temporary sibling that replaces the target only when whole,
// and whole folders with their trees, refusing names that could leave the destination.
#include "hllib/extract.h"

#include <string>
#include <unordered_map>

#include "file_plan.h"
#include "hllib/names.h"
#include "package_data.h"

namespace hl {
namespace {

Status writeFile(const PackageData& d, uint32_t item, const io::Path& target) {
  FilePlan plan;
  Status status = planFile(d, item, true, plan);
  if (status.ok()) status = readable(d, item, plan);
  if (!status.ok()) return status;

  // A deterministic name per item, so a run that was killed leaves nothing the next run of
  // the same extraction does not clean up.
  io::Path temporary = target.parent_path() / io::Path("~hlx" + std::to_string(item) + ".tmp");
  std::unique_ptr<io::File> out = io::File::open(temporary, io::File::Mode::CreateNew, status);
  if (!out && io::pathKind(temporary) == io::PathKind::File) {
    io::removeFile(temporary);
    out = io::File::open(temporary, io::File::Mode::CreateNew, status);
  }
  if (!out) return status;
  for (const ByteRun& run : plan.runs) {
    status = out->copyFrom(*plan.source, run.sourceOffset, run.fileOffset, run.size);
    if (!status.ok()) break;
  }
  if (status.ok() && out->size() != plan.info.size) status = out->setSize(plan.info.size);
  if (status.ok()) status = out->close();
  out.reset();
  if (status.ok()) status = io::replaceFile(temporary, target);
  if (!status.ok()) io::removeFile(temporary);
  return status;
}

Status unsafe(const std::string& name) {
  return {ErrorCode::UnsafeName,
          "refusing the item name '" + name + "': it could leave the destination folder"};
}

class TreeExtraction {
 public:
  TreeExtraction(const Package& package, const ExtractObserver& observer, ExtractSummary& summary)
      : package_(package), observer_(observer), summary_(summary) {}

  void file(uint32_t item, const io::Path& target, const std::string& shownPath) {
    Status status = package_.extractFile(item, target);
    if (status.ok()) {
      ++summary_.filesWritten;
      summary_.bytesWritten += package_.itemSize(item);
    } else if (package_.type() == PackageType::Gcf && package_.fileShrank()) {
      // Every file after this one would fail the same way: one error says it all.
      stopped_ = true;
      status = {status.code(), status.message() + "; extraction stopped"};
    }
    report(shownPath, status);
  }

  // The folder's contents below `target`, which must already exist.
  void contents(uint32_t folder, const io::Path& target, const std::string& shownPrefix) {
    std::unordered_map<uint32_t, io::Path> folders{{folder, target}};
    package_.walk(folder, '\\', [&](uint32_t item, const std::string& relative) {
      if (stopped_) return;
      auto parent = folders.find(package_.parent(item));
      if (parent == folders.end()) return;  // below a folder that was refused
      std::string shown = shownPrefix + relative;
      std::string_view name = package_.name(item);
      if (!isSafeName(name)) return report(shown, unsafe(std::string(name)));
      io::Path path = parent->second / io::fromPackageName(name);
      if (package_.isFile(item)) return file(item, path, shown);
      Status status = io::createFolder(path);
      if (!status.ok()) return report(shown, status);
      folders.emplace(item, path);
    });
  }

  void report(const std::string& shownPath, const Status& status) {
    if (!status.ok()) {
      ++summary_.failures;
      if (first_.ok()) first_ = status;
    }
    if (observer_) observer_(shownPath, status);
  }

  const Status& result() const { return first_; }

 private:
  const Package& package_;
  const ExtractObserver& observer_;
  ExtractSummary& summary_;
  Status first_;
  bool stopped_ = false;  // the package shrank while being read
};

}  // namespace

Status Package::extractFile(uint32_t file, const std::filesystem::path& target) const {
  try {
    return writeFile(*data_, file, target);
  } catch (const std::exception& error) {
    return {ErrorCode::WriteFailed, std::string("extraction failed: ") + error.what()};
  }
}

Status extractItem(const Package& package, uint32_t item, const std::filesystem::path& destination,
                   const ExtractObserver& observer, ExtractSummary& summary) {
  try {
    if (item >= package.itemCount())
      return {ErrorCode::ItemNotFound, "no item " + std::to_string(item)};
    Status status = io::createFolder(destination);
    if (!status.ok()) return status;
    TreeExtraction extraction(package, observer, summary);
    std::string name(package.name(item));
    if (item == kRootItem) {
      extraction.contents(item, destination, "");
    } else if (!isSafeName(name)) {
      extraction.report(name, unsafe(name));
    } else if (package.isFile(item)) {
      extraction.file(item, destination / io::fromPackageName(name), name);
    } else {
      io::Path folder = destination / io::fromPackageName(name);
      status = io::createFolder(folder);
      if (status.ok())
        extraction.contents(item, folder, name + "\\");
      else
        extraction.report(name, status);
    }
    return extraction.result();
  } catch (const std::exception& error) {
    return {ErrorCode::WriteFailed, std::string("extraction failed: ") + error.what()};
  }
}

}  // namespace hl
