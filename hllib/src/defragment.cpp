// Defragmenting a package: plan, write a copy beside it, read the copy back, swap it in.
#include "hllib/defragment.h"

#include <memory>
#include <new>
#include <system_error>

#include "defragment_steps.h"

namespace hl {
namespace {

// Asked before anything is written, as a rename would replace even a read-only package.
Status checkWritable(const io::Path& path) {
  Status status;
  std::unique_ptr<io::File> file = io::File::open(path, io::File::Mode::Update, status);
  if (!file) {
    ErrorCode code = status.code() == ErrorCode::InUse ? ErrorCode::InUse : ErrorCode::WriteFailed;
    return {code, "the package cannot be changed: " + status.message()};
  }
  return {};
}

Status checkCopyAt(const Package& original, const DefragmentPlan& plan, const io::Path& temporary,
                   const DefragmentOptions& options) {
  Status status;
  std::unique_ptr<Package> copy = Package::open(temporary, status);
  if (!copy)
    return {ErrorCode::WriteFailed, "the defragmented copy does not open: " + status.message()};
  return checkCopy(original, plan, *copy, options);
}

// The copy takes the original's permissions; it was created with the defaults.
void copyPermissions(const io::Path& from, const io::Path& to) {
  std::error_code ignored;
  std::filesystem::file_status status = std::filesystem::status(from, ignored);
  if (!ignored) std::filesystem::permissions(to, status.permissions(), ignored);
}

// The file a symbolic link names is the one to rewrite: renaming over the link would replace
// the link, not the package.
io::Path resolveLink(const io::Path& path) {
  if (io::pathKind(path) != io::PathKind::Other) return path;
  std::error_code error;
  io::Path target = std::filesystem::canonical(path, error);
  return error ? path : target;
}

Status run(const io::Path& given, const DefragmentOptions& options, DefragmentResult& result) {
  const io::Path path = resolveLink(given);
  Status writable = checkWritable(path);  // reported only when there is something to write
  Status status;
  std::unique_ptr<Package> original = Package::open(path, status);
  if (!original) return status;
  if (original->type() == PackageType::Ncf) {
    result = DefragmentResult::NothingToDo;
    return {};
  }
  DefragmentPlan plan;
  if (!(status = planDefragment(*original, plan)).ok()) return status;
  if (plan.alreadyInPlace && !options.force) {
    result = DefragmentResult::AlreadyDefragmented;
    return {};
  }
  if (!writable.ok()) return writable;

  io::Path temporary = defragmentTemporaryPath(path);
  if (io::pathKind(temporary) == io::PathKind::File)
    io::removeFile(temporary);  // from a killed run
  std::unique_ptr<io::File> out = io::File::open(temporary, io::File::Mode::CreateNew, status);
  if (!out) return status;
  bool stoppedByHook = false;
  status = writeDefragmented(original->data(), plan, options, *out, stoppedByHook);
  if (stoppedByHook) return status;  // as a killed run would, it leaves the copy behind
  if (status.ok()) status = out->flush();
  if (status.ok()) status = out->close();
  out.reset();
  if (status.ok()) status = checkCopyAt(*original, plan, temporary, options);
  original.reset();  // Windows cannot replace a file that is open or mapped
  if (status.ok()) {
    copyPermissions(path, temporary);
    // The copy is complete, flushed and checked; one rename now swaps it in, so at every
    // moment the package's name holds either the whole original or the whole copy.
    status = io::replaceFile(temporary, path);
  }
  if (!status.ok()) {
    io::removeFile(temporary);
    return status;
  }
  // Best effort: the rename is done; a failed folder flush leaves it merely not yet durable.
  io::flushFolder(path.parent_path());
  result = DefragmentResult::Rewritten;
  return {};
}

}  // namespace

std::filesystem::path defragmentTemporaryPath(const std::filesystem::path& package) {
  std::filesystem::path name = package.filename();
  name += ".defrag-tmp";
  return package.parent_path() / name;
}

Status defragment(const std::filesystem::path& package, const DefragmentOptions& options,
                  DefragmentResult& result) {
  try {
    return run(package, options, result);
  } catch (const std::bad_alloc&) {
    io::removeFile(defragmentTemporaryPath(package));
    return {ErrorCode::WriteFailed, "not enough memory to defragment " + io::describe(package)};
  }
}

}  // namespace hl
