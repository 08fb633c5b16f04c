// The tool's operations: listing, the list file, extraction, validation and defragmentation.
#include "commands.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "exit_codes.h"
#include "hllib/defragment.h"
#include "hllib/extract.h"
#include "hllib/package.h"
#include "item_lookup.h"
#include "job_file.h"
#include "text.h"

namespace hlextract {
namespace {

const char kVersion[] = "hlextract 1.0.0";

class Session {
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
    for (const NativeString& item : args_.extract) extract(item);
    if (!args_.jobs.empty()) keepFirstFailure(runJobFile(*package_, args_.jobs));
    for (const NativeString& item : args_.validate) validate(item);
    if (args_.defragment) defragment();
    return exitCode_;
  }

 private:
  void fail(const hl::Status& status, int code = 0) {
    std::fprintf(stderr, "hlextract: %s\n", status.message().c_str());
    if (exitCode_ == kExitOk) exitCode_ = code ? code : exitCodeFor(status.code());
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
    shown = item == hl::kNoItem ? toUtf8(word) : "root\\" + package_->path(item);
    if (item == hl::kNoItem)
      fail({hl::ErrorCode::ItemNotFound, "no item '" + shown + "' in the package"});
    return item;
  }

  std::string state(uint32_t file) {
    hl::FileInfo info;
    hl::Status status = package_->inspect(file, info);
    if (!status.ok()) return "damaged";
    if (info.encrypted) return "encrypted";
    if (info.storedBytes < info.size)
      return "incomplete " + std::to_string(info.size ? info.storedBytes * 100 / info.size : 0) +
             "%";
    return "complete";
  }

  void list() {
    package_->walk(hl::kRootItem, '\\', [&](uint32_t item, const std::string& path) {
      bool file = package_->isFile(item);
      if (!args_.verbose) {
        std::printf("root\\%s%s\n", path.c_str(), file ? "" : "\\");
      } else if (file) {
        std::printf("%12u  %-14s  root\\%s\n", package_->itemSize(item), state(item).c_str(),
                    path.c_str());
      } else {
        std::printf("%12s  %-14s  root\\%s\\\n", "", "folder", path.c_str());
      }
    });
  }

  void writeListFile() {
    // Written in slices as the walk goes, so a package of 100,000 files needs no buffer the
    // size of its whole list.
    constexpr size_t kSlice = size_t{256} * 1024;
    std::ofstream out(args_.listFile, std::ios::binary | std::ios::trunc);
    std::string lines;
    lines.reserve(kSlice + 4096);
    package_->walk(hl::kRootItem, '\\', [&](uint32_t item, const std::string& path) {
      if (!package_->isFile(item)) return;
      lines += "root\\";
      lines += path;
      lines += "\r\n";
      if (lines.size() >= kSlice) {
        out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
        lines.clear();
      }
    });
    out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(args_.listFile,
                              ignored);  // a partial list must not pass for the package's
      fail({hl::ErrorCode::WriteFailed,
            "cannot write the list file '" + args_.listFile.u8string() + "'"});
    }
  }

  void extract(const NativeString& word) {
    std::string shown;
    uint32_t item = resolve(word, shown);
    if (item == hl::kNoItem) return;
    std::filesystem::path destination =
        args_.destination.empty() ? std::filesystem::path(".") : args_.destination;
    std::string base = item == hl::kRootItem
                           ? "root\\"
                           : shown.substr(0, shown.size() - package_->name(item).size());
    hl::ExtractSummary summary;
    hl::Status status = hl::extractItem(
        *package_, item, destination,
        [&](const std::string& path, const hl::Status& result) {
          if (!result.ok())
            std::fprintf(stderr, "hlextract: %s%s: %s\n", base.c_str(), path.c_str(),
                         result.message().c_str());
          else if (args_.verbose)
            say(base + path);
        },
        summary);
    if (!status.ok() && summary.failures == 0)
      fail(status);  // failed before any item
    else if (!status.ok() && exitCode_ == kExitOk)
      exitCode_ = exitCodeFor(status.code());
    say("extracted " + std::to_string(summary.filesWritten) + " files (" +
        std::to_string(summary.bytesWritten) + " bytes) from " + shown +
        (summary.failures ? ", " + std::to_string(summary.failures) + " failed" : ""));
  }

  void validate(const NativeString& word) {
    std::string shown;
    uint32_t item = resolve(word, shown);
    if (item == hl::kNoItem) return;
    uint32_t checked = 0, bad = 0;
    auto check = [&](uint32_t file, const std::string& path) {
      ++checked;
      hl::ChunkReport report;
      hl::Status status = package_->validate(file, report);
      if (status.ok()) {
        if (args_.verbose) say("ok: " + path);
        return;
      }
      ++bad;
      std::printf("%s: %s: %s\n",
                  status.code() == hl::ErrorCode::Incomplete  ? "incomplete"
                  : status.code() == hl::ErrorCode::Encrypted ? "encrypted"
                                                              : "damaged",
                  path.c_str(), status.message().c_str());
      if (exitCode_ == kExitOk) exitCode_ = exitCodeFor(status.code());
    };
    if (package_->isFile(item)) {
      check(item, shown);
    } else {
      std::string prefix = item == hl::kRootItem ? "root\\" : shown + "\\";
      package_->walk(item, '\\', [&](uint32_t child, const std::string& path) {
        if (package_->isFile(child)) check(child, prefix + path);
      });
    }
    say("validated " + std::to_string(checked) + " files below " + shown + ": " +
        std::to_string(checked - bad) + " intact, " + std::to_string(bad) + " not");
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

int runCommands(const Arguments& arguments) {
  if (arguments.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (arguments.version) {
    std::printf("%s\n", kVersion);
    return kExitOk;
  }
  return Session(arguments).run();
}

}  // namespace hlextract
