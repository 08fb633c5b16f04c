// Defragmenting a package: plan, write a copy beside it, read the copy back, swap it in.
#include "defragment.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "call_guard.h"
#include "defragment_steps.h"

namespace hl {
namespace {

Status checkCopyAt(const Package& original, const DefragmentPlan& plan, const io::Path& temporary,
                   const StepReport& report) {
  Status status;
  std::unique_ptr<Package> copy = Package::open(temporary, status);
  if (!copy)
    return {ErrorCode::WriteFailed, "the defragmented copy does not open: " + status.message()};
  return checkCopy(original, plan, *copy, report);
}

// The file a symbolic link names is the one to rewrite: renaming over the link would replace
// the link, not the package.
io::Path resolveLink(const io::Path& path) {
  return io::pathKind(path) == io::PathKind::Other ? io::resolvedPath(path) : path;
}

// Names need not be unpredictable, only apart: the exclusive create refuses a name in use.
uint64_t nameSeed() {
  auto seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  try {
    std::random_device device;
    seed ^= (uint64_t{device()} << 32) ^ device();
  } catch (const std::exception&) {
    // no entropy source here: the clock alone
  }
  return seed;
}

// Creates the copy's file beside the package, under a name no other run picks, owned by
// `temporary` from then on.
std::unique_ptr<io::File> createCopy(const io::Path& package, const io::FileLock& like,
                                     io::OwnedTemporary& temporary, Status& status) {
  std::mt19937_64 random(nameSeed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".defrag-%016llx.tmp",
                  static_cast<unsigned long long>(random()));
    io::Path candidate = package;
    candidate += suffix;
    if (io::pathKind(candidate) != io::PathKind::Missing) continue;
    std::unique_ptr<io::File> file = io::File::createLike(candidate, like, status);
    if (file) temporary.adopt(nullptr, candidate);
    return file;
  }
  status = {ErrorCode::WriteFailed,
            "cannot find a free name for the copy beside " + io::describe(package)};
  return nullptr;
}

Status refused(const std::string& why) { return {ErrorCode::Refused, why}; }

Status writerCame(const io::Path& path) {
  return {ErrorCode::InUse,
          io::describe(path) + " was opened for writing by another program: left as it was"};
}

Status run(const io::Path& given, const DefragmentOptions& options, uint64_t stopAfterBlocks,
           DefragmentResult& result) {
  const io::Path path = resolveLink(given);
  Status status, writable;  // writable: reported only when there is something to write
  // Held to the end: no other run, nor any other writer that asks, works on the package now.
  std::unique_ptr<io::FileLock> lock = io::FileLock::acquire(path, status, &writable);
  if (!lock) return status;
  // Programs that hold the package open for writing refuse the run; one that opens it so
  // later waits for the run to end, which then stops with the package as it was. Nothing of
  // this process may hold it open for writing meanwhile: that would break the watch too.
  const io::FileLock::Watch watch = lock->watchWriters();
  if (watch == io::FileLock::Watch::WriterHolds)
    return {ErrorCode::InUse,
            io::describe(path) + " is in use by another program: it holds it open for writing"};
  // Asked at every step of the copy and of its check; the run stops at the first one after a
  // writer came, and lets that writer on as soon as it has stopped.
  const StepReport report = [&](uint64_t done, uint64_t total) {
    if (options.progress) options.progress(done, total);
    return lock->writerArrived() ? writerCame(path) : Status();
  };
  std::unique_ptr<Package> original = Package::open(path, status);
  if (!original) return status;
  if (original->type() == PackageType::Ncf) {
    result = DefragmentResult::NothingToDo;
    return {};
  }
  const PackageData& model = loadedModelOf(*original);
  if (!(status = checkWholeTree(model)).ok()) return status;
  if (!(status = checkRewritable(model)).ok()) return status;
  DefragmentPlan plan;
  if (!(status = planDefragment(*original, plan)).ok()) return status;
  if (!(status = checkConventions(model, plan)).ok()) return status;
  if (plan.alreadyInPlace && !options.force) {
    result = DefragmentResult::AlreadyDefragmented;
    return {};
  }
  if (!writable.ok()) return writable;
  if (lock->linkCount() > 1)
    return refused(io::describe(path) + " has " + std::to_string(lock->linkCount()) +
                   " hard links: a defragmented copy would replace only this name, and the "
                   "other names would keep the old package");

  io::OwnedTemporary temporary;  // removed on every way out but the final rename
  std::unique_ptr<io::File> out = createCopy(path, *lock, temporary, status);
  if (!out) return status;
  bool stopped = false;
  status = writeDefragmented(model, plan, report, stopAfterBlocks, *out, stopped);
  if (stopped) {  // as a killed run would, it leaves the copy behind
    temporary.keep();
    return status;
  }
  if (status.ok()) status = out->flush();
  if (status.ok()) status = out->close();
  out.reset();
  if (status.ok()) status = checkCopyAt(*original, plan, temporary.path(), report);
  original.reset();  // Windows cannot replace a file that is open or mapped
  // Once renamed, the copy is the package: it is locked before, so no run slips in between.
  std::unique_ptr<io::FileLock> copyLock;
  if (status.ok()) copyLock = io::FileLock::acquire(temporary.path(), status);
  if (!status.ok()) return status;
  if (lock->writerArrived()) return writerCame(path);
  lock->releaseBeforeReplace();
  // The copy is complete, flushed and checked; one rename now swaps it in, so at every
  // moment the package's name holds either the whole original or the whole copy.
  if (!(status = io::replaceFile(temporary.path(), path)).ok()) return status;
  temporary.keep();
  // Best effort: the rename is done; a failed folder flush leaves it merely not yet durable.
  io::flushFolder(path.parent_path());
  // A writer whose open reached the old package between the last look and the rename waits
  // for the lease and then writes into the replaced file, where its changes are lost: never a
  // success. Asked once more after the rename, as every later open finds the copy.
  if (lock->writerArrived())
    return {ErrorCode::InUse, io::describe(path) +
                                  " was opened for writing by another program "
                                  "while it was replaced: what that program "
                                  "writes goes to the old package and is lost"};
  result = watch == io::FileLock::Watch::Taken ? DefragmentResult::Rewritten
                                               : DefragmentResult::RewrittenUnwatched;
  return {};
}

}  // namespace

Status defragmentStoppingAfter(const io::Path& package, const DefragmentOptions& options,
                               uint64_t stopAfterBlocks, DefragmentResult& result) {
  return guarded("defragmentation", [&] { return run(package, options, stopAfterBlocks, result); });
}

Status defragment(const std::filesystem::path& package, const DefragmentOptions& options,
                  DefragmentResult& result) {
  return defragmentStoppingAfter(package, options, 0, result);
}

}  // namespace hl
