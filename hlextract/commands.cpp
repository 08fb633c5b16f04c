// The tool's operations: listing, the list file, extraction, validation and defragmentation.
#include "commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "console.h"
#include "exit_codes.h"
#include "hllib/hllib.hpp"
#include "item_lookup.h"
#include "job_file.h"
#include "text.h"
#include "vaultpick_version.h"

namespace hlextract {
namespace {

const char kVersion[] = "hlextract " VAULTPICK_VERSION_TEXT;

class Session final : public ConsoleHost {
 public:
  explicit Session(const Arguments& arguments) : args_(arguments) {}

  int run() {
    hllib::Status status = package_.open(args_.package);
    if (!package_) {
      fail(status);
      return exitCode_;
    }
    // Opening checks only the headers. A run that lists or browses the whole package checks
    // its whole tree first, so damage stops it before any output, as it always has; so does
    // --verbose, whose warnings are then the tree's too, but as a warning: the items the run
    // touches may be sound.
    const bool wholeTree = args_.list || !args_.listFile.empty() || args_.console;
    if (wholeTree || args_.verbose) {
      hllib::Status tree = package_.check();
      if (!tree.ok() && wholeTree) {
        fail(tree);
        return exitCode_;
      }
      if (!tree.ok())
        std::fprintf(stderr, "hlextract: warning: %s\n", printable(tree.message).c_str());
    }
    if (args_.verbose)
      for (uint32_t n = 0; n < package_.facts().warning_count; ++n)
        std::fprintf(stderr, "hlextract: warning: %s\n", printable(package_.warning(n)).c_str());
    if (!args_.contentRoot.empty() && package_.facts().type == HL_GCF) {
      fail({HL_INVALID, "-n goes with an NCF package: a GCF package holds its own data"});
      return exitCode_;
    }
    if (!args_.contentRoot.empty()) package_.setContentRoot(args_.contentRoot);
    if (args_.list) list();
    if (!args_.listFile.empty()) writeListFile();
    std::string shown;
    for (const NativeString& word : args_.extract)
      if (uint32_t item = resolve(word, shown); item != HL_NO_ITEM) extract(item, shown);
    for (const NativeString& word : args_.validate)
      if (uint32_t item = resolve(word, shown); item != HL_NO_ITEM) validate(item, shown);
    if (!args_.jobs.empty()) keepFirstFailure(runJobFile(package_, args_));
    if (args_.console) runConsole(package_, *this);
    if (args_.defragment) defragment();
    return exitCode_;
  }

  void fail(const hllib::Status& status) override { fail(status, exitCodeFor(status.code)); }

 private:
  // A message is one line, whatever names and typed words it holds.
  void fail(const hllib::Status& status, int code) {
    std::fprintf(stderr, "hlextract: %s\n", printable(status.message).c_str());
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
    uint32_t item = HL_NO_ITEM;
    if (hllib::Status status = findItem(package_, word, item); !status.ok()) {
      fail(status);
      return HL_NO_ITEM;
    }
    shown = item == HL_NO_ITEM ? toUtf8(word) : shownName("root\\" + package_.path(item));
    if (item == HL_NO_ITEM) fail({HL_ITEM_NOT_FOUND, "no item '" + shown + "' in the package"});
    return item;
  }

  void list() {
    auto line = [&](uint32_t item, const std::string& name) {
      std::string path = shownName(name);
      hl_item facts = package_.item(item);
      bool file = facts.is_file != 0;
      if (!hl_path_is_listable(name.data(), name.size())) {
        unlistable(path);
      } else if (!args_.verbose) {
        std::printf("root\\%s%s\n", path.c_str(), file ? "" : "\\");
      } else if (file) {
        std::printf("%12u  %-14s  root\\%s\n", facts.size, fileState(package_, item).c_str(),
                    path.c_str());
      } else {
        std::printf("%12s  %-14s  root\\%s\\\n", "", "folder", path.c_str());
      }
    };
    hllib::Status status = package_.walk(HL_ROOT_ITEM, '\\', line);
    if (!status.ok()) fail(status);
  }

  void writeListFile() {
    // Such a name is reported as the package stores it.
    hllib::Status status = package_.writeFileList(
        args_.listFile, [&](const std::string& path) { unlistable(storedName(path)); });
    if (!status.ok()) fail(status);
  }

  // A name with a line break would read back as two list lines: it is reported instead, its
  // line break shown as fail() shows every control character.
  void unlistable(const std::string& path) {
    fail({HL_INVALID, "root\\" + path + ": the name holds a line break"}, kExitUnlistable);
  }

  void extract(uint32_t item, const std::string& shown) override {
    std::filesystem::path destination =
        args_.destination.empty() ? std::filesystem::path(".") : args_.destination;
    // The item's folder, as the package spells it: reported paths below the item follow it.
    // The root's stored name is part of no path.
    std::string base = "root\\" + package_.path(item);
    if (item != HL_ROOT_ITEM) base.resize(base.size() - package_.name(item).size());
    hl_extract_summary summary{};
    hllib::Status status = package_.extract(
        item, destination, args_.keepExisting,
        [&](const std::string& path, const hllib::Status& result) {
          if (result.code == HL_EXISTS)
            say("skipped, already there: " + shownName(base + path));
          else if (!result.ok())
            std::fprintf(stderr, "hlextract: %s: %s\n", shownName(base + path).c_str(),
                         printable(result.message).c_str());
          else if (args_.verbose)
            say(shownName(base + path));
        },
        summary);
    if (!status.ok() && summary.failures == 0)
      fail(status);  // failed before any item
    else if (!status.ok() && exitCode_ == kExitOk)
      exitCode_ = exitCodeFor(status.code);
    say("extracted " + std::to_string(summary.files_written) + " files (" +
        std::to_string(summary.bytes_written) + " bytes) from " + shown +
        (summary.skipped ? ", " + std::to_string(summary.skipped) + " skipped" : "") +
        (summary.failures ? ", " + std::to_string(summary.failures) + " failed" : ""));
  }

  // A file is intact only when its bytes matched stored checksums. One whose package stores
  // none is "not checked": it fails the run with its own code unless something worse was met.
  // So is each file of an NCF read without -n, and the command line is said once to lack it.
  void validate(uint32_t item, const std::string& shown) override {
    const bool noFolder = package_.facts().type == HL_NCF && args_.contentRoot.empty();
    if (noFolder && !saidNoFolder_) {
      saidNoFolder_ = true;
      fail({HL_INVALID, "an NCF package keeps its files on disk: give their folder with -n"});
    }
    uint32_t checked = 0, bad = 0, unchecked = 0;
    bool stopped = false;  // the package shrank: every later file would fail the same way
    auto check = [&](uint32_t file, const std::string& path) {
      if (stopped) return;
      ++checked;
      hl_chunk_report report{};
      // Without its folder an NCF file has no bytes to read.
      hllib::Status status = noFolder ? hllib::Status() : package_.validate(file, report);
      if (noFolder || (status.ok() && report.not_checked)) {
        ++unchecked;
        std::printf("not checked: %s: %s\n", path.c_str(),
                    noFolder ? "the content folder is not given (-n)"
                             : "the package stores no checksums for it");
        return;
      }
      if (status.ok()) {
        if (args_.verbose) say("ok: " + path);
        return;
      }
      ++bad;
      std::printf("%s: %s: %s\n",
                  status.code == HL_INCOMPLETE    ? "incomplete"
                  : status.code == HL_ENCRYPTED   ? "encrypted"
                  : status.code == HL_OPEN_FAILED ? "unreadable"
                                                  : "damaged",
                  path.c_str(), printable(status.message).c_str());
      if (exitCode_ == kExitOk) exitCode_ = exitCodeFor(status.code);
      hl_package_facts facts = package_.facts();
      stopped = facts.type == HL_GCF && facts.file_shrank;
    };
    if (package_.item(item).is_file) {
      check(item, shown);
    } else {
      std::string prefix = item == HL_ROOT_ITEM ? "root\\" : shown + "\\";
      hllib::Status walked =
          package_.walk(item, '\\', [&](uint32_t child, const std::string& path) {
            if (package_.item(child).is_file) check(child, prefix + shownName(path));
          });
      if (!walked.ok()) return fail(walked);
    }
    if (unchecked > 0 && exitCode_ == kExitOk) exitCode_ = kExitNotChecked;
    if (stopped) say("validation stopped: the package is shorter than when it was opened");
    say("validated " + std::to_string(checked) + " files below " + shown + ": " +
        std::to_string(checked - bad - unchecked) + " intact, " + std::to_string(bad) + " not" +
        (unchecked ? ", " + std::to_string(unchecked) + " not checked" : ""));
  }

  // Runs last: the package is closed first, as it is replaced by its rewritten copy.
  void defragment() {
    package_.close();
    std::string shown = args_.package.u8string();
    std::function<bool(uint64_t, uint64_t)> progress;
    int reported = -5;
    if (args_.verbose && !args_.quiet)
      progress = [&](uint64_t done, uint64_t total) {
        int percent = total ? static_cast<int>(done * 100 / total) : 100;
        if (percent / 5 != reported / 5)
          std::fprintf(stderr, "hlextract: defragmenting: %d%%\n", reported = percent);
        return true;
      };
    hl_defragment_result result = HL_REWRITTEN;
    hllib::Status status = hllib::defragment(args_.package, args_.forceRewrite, progress, result);
    if (!status.ok()) return fail(status);
    switch (result) {
      case HL_REWRITTEN:
        say("defragmented " + shown);
        break;
      case HL_REWRITTEN_UNWATCHED:
        say("defragmented " + shown +
            " (other programs that may hold it open could not be checked)");
        break;
      case HL_ALREADY_DEFRAGMENTED:
        say(shown + " is not fragmented");
        break;
      case HL_NOTHING_TO_DO:
        say("an NCF package holds no data to defragment");
        break;
    }
  }

  const Arguments& args_;
  hllib::Package package_;
  int exitCode_ = kExitOk;
  bool saidNoFolder_ = false;
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
