// The public facade over an open package's model; no exception leaves these calls.
#include "package.h"

#include <new>

#include "file_plan.h"
#include "package_data.h"

namespace hl {

Package::Package(std::unique_ptr<PackageData> data) : data_(std::move(data)) {}
Package::~Package() = default;

std::unique_ptr<Package> Package::open(const std::filesystem::path& path, Status& status) {
  try {
    std::unique_ptr<PackageData> data = openPackageData(path, status);
    if (!data) return nullptr;
    return std::unique_ptr<Package>(new Package(std::move(data)));
  } catch (const std::bad_alloc&) {
    status = {ErrorCode::Damaged, "not enough memory to open the package"};
  } catch (const std::exception& error) {
    status = {ErrorCode::OpenFailed, std::string("cannot open the package: ") + error.what()};
  }
  return nullptr;
}

const PackageData& Package::data() const {
  data_->metadata.readAll();  // a failed read leaves zeros, which every check refuses
  return *data_;
}

const PackageData& modelOf(const Package& package) { return *package.data_; }

bool Package::fileShrank() const { return data_->file->shrank(); }

PackageType Package::type() const { return data_->type; }
uint32_t Package::formatVersion() const { return data_->formatVersion; }
uint32_t Package::blockSize() const { return data_->blockSize; }
uint32_t Package::blockCount() const { return data_->blockCount; }
uint32_t Package::itemCount() const { return data_->itemCount; }
uint32_t Package::fileCount() const { return data_->fileCount; }
const std::vector<std::string>& Package::warnings() const { return data_->warnings; }

bool Package::isFile(uint32_t item) const {
  return item < data_->itemCount && data_->entry(item).isFile();
}

bool Package::isEncrypted(uint32_t item) const {
  return item < data_->itemCount &&
         (data_->entry(item).flags & layout::directory_entry::kFlagEncrypted);
}

std::string_view Package::name(uint32_t item) const {
  return item < data_->itemCount ? data_->name(item) : std::string_view();
}

uint32_t Package::itemSize(uint32_t item) const {
  return item < data_->itemCount ? data_->entry(item).itemSize : 0;
}

uint32_t Package::parent(uint32_t item) const {
  return item < data_->itemCount && item != kRootItem ? data_->entry(item).parent : kNoItem;
}

void Package::setContentRoot(const std::filesystem::path& root) { data_->contentRoot = root; }

Status Package::inspect(uint32_t file, FileInfo& info) const {
  try {
    FilePlan plan;
    Status status = planFile(*data_, file, false, plan);
    info = plan.info;
    return status;
  } catch (const std::exception& error) {
    return {ErrorCode::Damaged, std::string("cannot inspect the item: ") + error.what()};
  }
}

Status Package::layout(uint32_t file, FileLayout& layout) const {
  try {
    FilePlan plan;
    Status status = planFile(*data_, file, true, plan);
    layout = FileLayout();
    if (!status.ok() || data_->type == PackageType::Ncf) return status;
    layout.blocks = plan.blocks;
    // Runs in file order merge whenever the next block follows on, so more than one run
    // means a jump somewhere in the chain.
    layout.fragmented = plan.runs.size() > 1;
    return status;
  } catch (const std::exception& error) {
    return {ErrorCode::Damaged, std::string("cannot follow the item's blocks: ") + error.what()};
  }
}

Status Package::read(uint32_t file, const ByteSink& sink) const {
  try {
    FilePlan plan;
    Status status = planFile(*data_, file, true, plan);
    if (status.ok()) status = readable(*data_, file, plan);
    if (status.ok()) status = readPlanned(plan, sink);
    return status;
  } catch (const std::exception& error) {
    return {ErrorCode::Damaged, std::string("cannot read the item: ") + error.what()};
  }
}

}  // namespace hl
