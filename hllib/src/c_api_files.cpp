// The C interface's file calls: state, layout, reading, validation, extraction, the list file
// and defragmentation.
#include "c_api_support.h"
#include "code_page.h"
#include "defragment.h"
#include "extract.h"
#include "list_file.h"

using namespace hl;
using namespace hl::capi;

namespace {

static_assert(static_cast<int>(DefragmentResult::RewrittenUnwatched) == HL_REWRITTEN_UNWATCHED,
              "hl_defragment hands the library's result over as it is");

// A file's package, or why there is none.
Status fileOf(const hl_package* handle, uint32_t file, const Package*& package) {
  Status status = packageOf(handle, file, package);
  if (status.ok() && !package->isFile(file))
    return {ErrorCode::Invalid, "item " + std::to_string(file) + " is a folder, not a file"};
  return status;
}

// A progress callback as the library calls it: empty for null, throwing Cancelled on nonzero.
std::function<void(uint64_t, uint64_t)> progressOf(hl_progress progress, void* user) {
  if (!progress) return {};
  return [=](uint64_t done, uint64_t total) {
    if (progress(user, done, total)) throw Cancelled();
  };
}

// What hl_extract and hl_extract_into share: the package, the callbacks and the summary, filled
// in on every way out, failures too. `extract` does the rest.
template <typename Extract, typename... Pointers>
hl_status extraction(const hl_package* package, uint32_t item, int keep_existing,
                     hl_extract_observer observer, hl_progress progress, void* user,
                     hl_extract_summary* summary, Extract&& extract, Pointers... required) {
  if (summary) *summary = {};
  return call(
      "extracting",
      [&] {
        const Package* p = nullptr;
        Status status = packageOf(package, item, p);
        if (!status.ok()) return status;
        ExtractSummary done;
        ExtractObserver tell;
        if (observer)
          tell = [&](const std::string& path, const Status& result) {
            if (observer(user, packageNameToUtf8(path).c_str(),
                         static_cast<hl_status>(result.code()), result.message().c_str()))
              throw Cancelled();
          };
        status =
            extract(*p, tell, done, keep_existing ? ExistingFiles::Keep : ExistingFiles::Replace,
                    progressOf(progress, user));
        if (summary) *summary = {done.filesWritten, done.failures, done.bytesWritten, done.skipped};
        return status;
      },
      required...);
}

}  // namespace

extern "C" {

hl_status HLLIB_CALL hl_inspect(const hl_package* package, uint32_t file, hl_file_state* state) {
  return call(
      "inspecting a file",
      [&] {
        const Package* p = nullptr;
        FileInfo info;
        Status status = fileOf(package, file, p);
        if (status.ok()) status = p->inspect(file, info);
        if (status.ok()) *state = {info.size, info.storedBytes, info.encrypted, info.complete()};
        return status;
      },
      state);
}

hl_status HLLIB_CALL hl_layout(const hl_package* package, uint32_t file, hl_file_layout* layout) {
  return call(
      "reading a file's layout",
      [&] {
        const Package* p = nullptr;
        FileLayout found;
        Status status = fileOf(package, file, p);
        if (status.ok()) status = p->layout(file, found);
        if (status.ok()) *layout = {found.blocks, found.fragmented};
        return status;
      },
      layout);
}

hl_status HLLIB_CALL hl_read(const hl_package* package, uint32_t file, hl_byte_sink sink,
                             void* user) {
  return call(
      "reading a file",
      [&] {
        const Package* p = nullptr;
        Status status = fileOf(package, file, p);
        if (!status.ok()) return status;
        return p->read(
            file, [&](const uint8_t* data, size_t size) { return sink(user, data, size) != 0; });
      },
      sink);
}

hl_status HLLIB_CALL hl_validate(const hl_package* package, uint32_t file,
                                 hl_chunk_report* report) {
  if (report) *report = {};  // filled in on every way out, failures too
  return call(
      "validating a file",
      [&] {
        const Package* p = nullptr;
        ChunkReport found;
        Status status = fileOf(package, file, p);
        if (!status.ok()) return status;
        status = p->validate(file, found);
        *report = {found.checksummedChunks, static_cast<uint32_t>(found.badChunks.size()),
                   found.notChecked};
        return status;
      },
      report);
}

hl_status HLLIB_CALL hl_extract(const hl_package* package, uint32_t item, const char* destination,
                                int keep_existing, hl_extract_observer observer,
                                hl_progress progress, void* user, hl_extract_summary* summary) {
  return extraction(
      package, item, keep_existing, observer, progress, user, summary,
      [&](const Package& p, const ExtractObserver& tell, ExtractSummary& done,
          ExistingFiles existing, const ExtractProgress& progress) {
        return extractItem(p, item, pathFrom(destination), tell, done, existing, progress);
      },
      destination);
}

hl_status HLLIB_CALL hl_destination_open(const char* path, hl_destination** destination) {
  return call(
      "opening the destination",
      [&] {
        Status status;
        std::unique_ptr<Destination> opened = Destination::open(pathFrom(path), status);
        if (opened) *destination = new hl_destination{std::move(opened)};
        return status;
      },
      path, destination);
}

void HLLIB_CALL hl_destination_close(hl_destination* destination) { delete destination; }

hl_status HLLIB_CALL hl_extract_into(const hl_package* package, uint32_t item,
                                     hl_destination* destination, const char* folders,
                                     int keep_existing, hl_extract_observer observer,
                                     hl_progress progress, void* user,
                                     hl_extract_summary* summary) {
  return extraction(
      package, item, keep_existing, observer, progress, user, summary,
      [&](const Package& p, const ExtractObserver& tell, ExtractSummary& done,
          ExistingFiles existing, const ExtractProgress& progress) {
        std::string below;
        if (!utf8ToPackageName(folders, below))
          return Status{ErrorCode::UnsafeName, "refusing the folders '" + std::string(folders) +
                                                   "': the package's code page cannot spell them"};
        return extractItem(p, item, *destination->destination, below, tell, done, existing,
                           progress);
      },
      destination, folders);
}

hl_status HLLIB_CALL hl_write_file_list(const hl_package* package, const char* target,
                                        hl_path_observer unlistable, void* user) {
  return call(
      "writing the list file",
      [&] {
        UnlistableObserver tell;
        if (unlistable)
          tell = [&](const std::string& path) {
            unlistable(user, packageNameToUtf8(path).c_str());
          };
        return writeFileList(*package->package, pathFrom(target), tell);
      },
      package, target);
}

hl_status HLLIB_CALL hl_defragment(const char* path, int force, hl_progress progress, void* user,
                                   hl_defragment_result* result) {
  return call(
      "defragmenting",
      [&] {
        DefragmentOptions options;
        options.force = force != 0;
        options.progress = progressOf(progress, user);
        DefragmentResult outcome = DefragmentResult::Rewritten;
        Status status = defragment(pathFrom(path), options, outcome);
        if (status.ok()) *result = static_cast<hl_defragment_result>(outcome);
        return status;
      },
      path, result);
}

}  // extern "C"
