// The tool's operations: listing, the list file, extraction, validation and defragmentation.
#include "commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "console.h"
#include "defragment.h"
#include "exit_codes.h"
#include "extract.h"
#include "item_lookup.h"
#include "job_file.h"
#include "list_file.h"
#include "package.h"
#include "text.h"
#include "vaultpick_version.h"

namespace hlextract {
namespace {

const char kVersion[] = "hlextract " VAULTPICK_VERSION_TEXT;

class Session final : public ConsoleHost {
 public:
  explicit Session(const Arguments& arguments) : args_(arguments) {}

  int run() {
    hl::Status status;
    package_ = hl::Package::open(args_.package, status);
    if (!package_) {
      fail(status);
      return exitCode_;
    }
    if (args_.verbose)
      for (const std::string& warning : package_->warnings())
        std::fprintf(stderr, "hlextract: warning: %s\n", warning.c_str());
    if (!args_.contentRoot.empty()) package_->setContentRoot(args_.contentRoot);
    if (args_.list) list();
    if (!args_.listFile.empty()) writeListFile();
    std::string shown;
    for (const NativeString& word : args_.extract)
      if (uint32_t item = resolve(word, shown); item != hl::kNoItem) extract(item, shown);
    for (const NativeString& word : args_.validate)
      if (uint32_t item = resolve(word, shown); item != hl::kNoItem) validate(item, shown);
    if (!args_.jobs.empty()) keepFirstFailure(runJobFile(*package_, args_.jobs));
    if (args_.console) runConsole(*package_, *this);
    if (args_.defragment) defragment();
    return exitCode_;
  }

  void fail(const hl::Status& status) override { fail(status, exitCodeFor(status.code())); }

 private:
  void fail(const hl::Status& status, int code) {
    std::fprintf(stderr, "hlextract: %s\n", status.message().c_str());
    if (exitCode_ == kExitOk) exitCode_ = code;
  }

  void keepFirstFailure(int code) {
    if (exitCode_ == kExitOk) exitCode_ = code;
  }

  void say(const std::string& line) {
    if (!args_.quiet) std::printf("%s\n", line.c_str());
  }

  // Item paths on the command line begin with the root's own name, "root".
  uint32_t resolve(const NativeString& word, std::string& shown) {
    uint32_t item = findItem(*package_, word);
    shown = item == hl::kNoItem ? toUtf8(word) : shownName("root\\" + package_->path(item));
    if (item == hl::kNoItem)
      fail({hl::ErrorCode::ItemNotFound, "no item '" + shown + "' in the package"});
    return item;
  }

  void list() {
    package_->walk(hl::kRootItem, '\\', [&](uint32_t item, const std::string& stored) {
      std::string path = shownName(stored);
      bool file = package_->isFile(item);
      if (!hl::isListable(path)) {
        unlistable(path);
      } else if (!args_.verbose) {
        std::printf("root\\%s%s\n", path.c_str(), file ? "" : "\\");
      } else if (file) {
        std::printf("%12u  %-14s  root\\%s\n", package_->itemSize(item),
                    fileState(*package_, item).c_str(), path.c_str());
      } else {
        std::printf("%12s  %-14s  root\\%s\\\n", "", "folder", path.c_str());
      }
    });
  }

  void writeListFile() {
    hl::Status status = hl::writeFileList(*package_, args_.listFile,
                                          [&](const std::string& path) { unlistable(path); });
    if (!status.ok()) fail(status);
  }

  // A name with a line break would read back as two list lines: it is reported instead.
  void unlistable(const std::string& path) {
    std::string shown;
    for (char c : path) shown += c == '\r' ? "<CR>" : c == '\n' ? "<LF>" : std::string(1, c);
    fail({hl::ErrorCode::Invalid, "root\\" + shown + ": the name holds a line break"},
         kExitUnlistable);
  }

  void extract(uint32_t item, const std::string& shown) override {
    std::filesystem::path destination =
        args_.destination.empty() ? std::filesystem::path(".") : args_.destination;
    // The item's folder, as the package spells it: reported paths below the item follow it.
    std::string base = "root\\" + package_->path(item);
    base.resize(base.size() - package_->name(item).size());
    hl::ExtractSummary summary;
    hl::Status status = hl::extractItem(
        *package_, item, destination,
        [&](const std::string& path, const hl::Status& result) {
          if (result.code() == hl::ErrorCode::Exists)
            say("skipped, already there: " + shownName(base + path));
          else if (!result.ok())
            std::fprintf(stderr, "hlextract: %s: %s\n", shownName(base + path).c_str(),
                         result.message().c_str());
          else if (args_.verbose)
            say(shownName(base + path));
        },
        summary, args_.keepExisting ? hl::ExistingFiles::Keep : hl::ExistingFiles::Replace);
    if (!status.ok() && summary.failures == 0)
      fail(status);  // failed before any item
    else if (!status.ok() && exitCode_ == kExitOk)
      exitCode_ = exitCodeFor(status.code());
    say("extracted " + std::to_string(summary.filesWritten) + " files (" +
        std::to_string(summary.bytesWritten) + " bytes) from " + shown +
        (summary.skipped ? ", " + std::to_string(summary.skipped) + " skipped" : "") +
        (summary.failures ? ", " + std::to_string(summary.failures) + " failed" : ""));
  }

  // A file is intact only when its bytes matched stored checksums. One whose package stores
  // none is "not checked": it fails the run with its own code unless something worse was met.
  void validate(uint32_t item, const std::string& shown) override {
    uint32_t checked = 0, bad = 0, unchecked = 0;
    bool stopped = false;  // the package shrank: every later file would fail the same way
    auto check = [&](uint32_t file, const std::string& path) {
      if (stopped) return;
      ++checked;
      hl::ChunkReport report;
      hl::Status status = package_->validate(file, report);
      if (status.ok() && report.notChecked) {
        ++unchecked;
        std::printf("not checked: %s: the package stores no checksums for it\n", path.c_str());
        return;
      }
      if (status.ok()) {
        if (args_.verbose) say("ok: " + path);
        return;
      }
      ++bad;
      std::printf("%s: %s: %s\n",
                  status.code() == hl::ErrorCode::Incomplete   ? "incomplete"
                  : status.code() == hl::ErrorCode::Encrypted  ? "encrypted"
                  : status.code() == hl::ErrorCode::OpenFailed ? "unreadable"
                                                               : "damaged",
                  path.c_str(), status.message().c_str());
      if (exitCode_ == kExitOk) exitCode_ = exitCodeFor(status.code());
      stopped = package_->type() == hl::PackageType::Gcf && package_->fileShrank();
    };
    if (package_->isFile(item)) {
      check(item, shown);
    } else {
      std::string prefix = item == hl::kRootItem ? "root\\" : shown + "\\";
      package_->walk(item, '\\', [&](uint32_t child, const std::string& path) {
        if (package_->isFile(child)) check(child, prefix + shownName(path));
      });
    }
    if (unchecked > 0 && exitCode_ == kExitOk) exitCode_ = kExitNotChecked;
    if (stopped) say("validation stopped: the package is shorter than when it was opened");
    say("validated " + std::to_string(checked) + " files below " + shown + ": " +
        std::to_string(checked - bad - unchecked) + " intact, " + std::to_string(bad) + " not" +
        (unchecked ? ", " + std::to_string(unchecked) + " not checked" : ""));
  }

  // Runs last: the package is closed first, as it is replaced by its rewritten copy.
  void defragment() {
    package_.reset();
    std::string shown = args_.package.u8string();
    hl::DefragmentOptions options;
    options.force = args_.forceRewrite;
    int reported = -5;
    if (args_.verbose && !args_.quiet)
      options.progress = [&](uint64_t done, uint64_t total) {
        int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (percent / 5 == reported / 5) return;
        reported = percent;
        std::fprintf(stderr, "hlextract: defragmenting: %d%%\n", percent);
      };
    hl::DefragmentResult result = hl::DefragmentResult::Rewritten;
    hl::Status status = hl::defragment(args_.package, options, result);
    if (!status.ok()) return fail(status);
    switch (result) {
      case hl::DefragmentResult::Rewritten:
        say("defragmented " + shown);
        break;
      case hl::DefragmentResult::AlreadyDefragmented:
        say(shown + " is not fragmented");
        break;
      case hl::DefragmentResult::NothingToDo:
        say("an NCF package holds no data to defragment");
        break;
    }
  }

  const Arguments& args_;
  std::unique_ptr<hl::Package> package_;
  int exitCode_ = kExitOk;
};

}  // namespace

// Output that never reached its reader is a failure like any other: the last buffered lines
// are flushed here, and a write that failed earlier is still remembered by the stream.
int checkOutput(int exitCode) {
  errno = 0;
  bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written) {
    int error = errno ? errno : EIO;
    std::fprintf(stderr, "hlextract: cannot write to standard output: %s\n", std::strerror(error));
  }
  bool reported = std::fflush(stderr) == 0 && !std::ferror(stderr);
  if (exitCode == kExitOk && !(written && reported)) return kExitWriteFailed;
  return exitCode;
}

int runCommands(const Arguments& arguments) {
  if (arguments.help) {
    std::fputs(kUsage, stdout);
    return checkOutput(kExitOk);
  }
  if (arguments.version) {
    std::printf("%s\n", kVersion);
    return checkOutput(kExitOk);
  }
  return checkOutput(Session(arguments).run());
}

}  // namespace hlextract
