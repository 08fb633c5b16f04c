// The public facade over an open package's model; no exception leaves these calls.
#include "package.h"

#include "call_guard.h"
#include "file_plan.h"
#include "package_data.h"

namespace hl {

Package::Package(std::unique_ptr<PackageData> data) : data_(std::move(data)) {}
Package::~Package() = default;

namespace {

// The package in the file that `open` gives, or null with `status` saying why.
template <typename OpenFile>
std::unique_ptr<PackageData> openData(OpenFile&& open, Status& status) {
  std::unique_ptr<PackageData> data;
  status = guarded("opening the package", [&] {
    Status opened;
    std::unique_ptr<io::File> file = open(opened);
    if (file) data = openPackageData(std::move(file), opened);
    return opened;
  });
  return data;
}

}  // namespace

std::unique_ptr<Package> Package::open(const std::filesystem::path& path, Status& status) {
  std::unique_ptr<PackageData> data = openData(
      [&](Status& opened) { return io::File::open(path, io::File::Mode::Read, opened); }, status);
  return data ? std::unique_ptr<Package>(new Package(std::move(data))) : nullptr;
}

std::unique_ptr<Package> Package::openMemory(const void* bytes, uint64_t size, Status& status) {
  std::unique_ptr<PackageData> data = openData(
      [&](Status&) { return io::File::inMemory(bytes, size, "the package in memory"); }, status);
  return data ? std::unique_ptr<Package>(new Package(std::move(data))) : nullptr;
}

const PackageData& modelOf(const Package& package) { return *package.data_; }

const PackageData& loadedModelOf(const Package& package) {
  const PackageData& data = modelOf(package);
  data.metadata.readAll();  // a failed read leaves zeros, which every check refuses
  return data;
}

bool Package::fileShrank() const noexcept { return data_->file->shrank(); }

PackageType Package::type() const noexcept { return data_->type; }
uint32_t Package::formatVersion() const noexcept { return data_->formatVersion; }
uint32_t Package::blockSize() const noexcept { return data_->blockSize; }
uint32_t Package::blockCount() const noexcept { return data_->blockCount; }
uint32_t Package::itemCount() const noexcept { return data_->itemCount; }
uint32_t Package::fileCount() const noexcept { return data_->fileCount; }
std::vector<std::string> Package::warnings() const {
  std::vector<std::string> all = data_->warnings;
  if (data_->tree.done.load(std::memory_order_acquire))
    all.insert(all.end(), data_->tree.warnings.begin(), data_->tree.warnings.end());
  return all;
}

bool Package::isFile(uint32_t item) const noexcept {
  return item < data_->itemCount && data_->entry(item).isFile();
}

bool Package::isEncrypted(uint32_t item) const noexcept {
  return item < data_->itemCount &&
         (data_->entry(item).flags & layout::directory_entry::kFlagEncrypted);
}

std::string_view Package::name(uint32_t item) const {
  return item < data_->itemCount ? data_->name(item) : std::string_view();
}

uint32_t Package::itemSize(uint32_t item) const noexcept {
  return item < data_->itemCount ? data_->entry(item).itemSize : 0;
}

uint32_t Package::parent(uint32_t item) const noexcept {
  return item < data_->itemCount && item != kRootItem ? data_->entry(item).parent : kNoItem;
}

Status Package::setContentRoot(const std::filesystem::path& root) {
  return guarded("setting the content folder", [&] {
    if (type() == PackageType::Gcf)
      return Status(ErrorCode::Invalid,
                    "a GCF package holds its files' data itself: it takes no content folder");
    data_->contentRoot = root;
    return Status();
  });
}

Status Package::inspect(uint32_t file, FileInfo& info) const {
  return guarded("inspecting the item", [&] {
    FilePlan plan;
    Status status = planFile(*data_, file, false, plan);
    info = plan.info;
    return status;
  });
}

Status Package::layout(uint32_t file, FileLayout& layout) const {
  return guarded("following the item's blocks", [&] {
    FilePlan plan;
    Status status = planFile(*data_, file, true, plan);
    layout = FileLayout();
    if (!status.ok() || data_->type == PackageType::Ncf) return status;
    layout.blocks = plan.blocks;
    // Runs in file order merge whenever the next block follows on, so more than one run
    // means a jump somewhere in the chain.
    layout.fragmented = plan.runs.size() > 1;
    return status;
  });
}

Status Package::read(uint32_t file, const ByteSink& sink) const {
  return guarded("reading the item", [&] {
    FilePlan plan;
    Status status = planFile(*data_, file, true, plan);
    if (status.ok()) status = readable(*data_, file, plan);
    if (status.ok()) status = readPlanned(plan, sink);
    return status;
  });
}

}  // namespace hl
