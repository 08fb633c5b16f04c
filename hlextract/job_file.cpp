// --jobs: many extractions from one reading of the package.
#include "job_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "exit_codes.h"
#include "item_lookup.h"
#include "text.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace hlextract {
namespace {

struct Job {
  std::string folders;  // below the destination, as the job file gives them (UTF-8)
  NativeString item;
};

struct JobFile {
  NativeString destination;
  std::vector<Job> jobs;
};

// A field of the job file as a command-line word of this platform.
bool fromJobText(const std::string& utf8, NativeString& word) {
#if defined(_WIN32)
  word.clear();
  if (utf8.empty()) return true;
  const int size = static_cast<int>(utf8.size());
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) return false;
  word.resize(static_cast<size_t>(length));
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, word.data(), length);
#else
  word = utf8;
#endif
  return true;
}

#if defined(_WIN32)
// The job file may lie deeper than the 260 characters that Win32 takes unmarked: its absolute
// path is marked "\\?\". A share's path, or one marked already, is taken as given.
std::filesystem::path openable(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  if (error || full.native().rfind(L"\\\\", 0) == 0) return path;
  return L"\\\\?\\" + full.lexically_normal().native();
}
#else
const std::filesystem::path& openable(const std::filesystem::path& path) { return path; }
#endif

// The whole file is read and checked before anything is extracted.
bool readJobs(const std::filesystem::path& path, JobFile& file, std::string& error) {
  // Read by istream, which turns a failing read (a folder, a broken disk) into its bad bit.
  errno = 0;
  std::ifstream in(openable(path), std::ios::binary);
  std::string bytes;
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
    bytes.append(buffer, static_cast<size_t>(in.gcount()));
  if (!in.is_open() || in.bad()) {
    error = "cannot read the job file '" + path.u8string() + "'" +
            (errno ? std::string(": ") + std::strerror(errno) : "");
    return false;
  }
  std::vector<std::string> fields;  // as the file gives them; the folders stay UTF-8
  std::vector<NativeString> words;  // as this platform's paths
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = bytes.find('\0', start);
    const std::string number = std::to_string(fields.size() + 1);
    if (end == std::string::npos) {
      error = "the job file is malformed: field " + number + " has no NUL after it";
      return false;
    }
    fields.push_back(bytes.substr(start, end - start));
    if (!fromJobText(fields.back(), words.emplace_back())) {
      error = "the job file is malformed: field " + number + " is not UTF-8";
      return false;
    }
    start = end + 1;
  }
  if (fields.empty() || fields[0].empty()) {
    error = "the job file is malformed: it names no destination folder";
    return false;
  }
  if (fields.size() % 2 == 0) {
    error = "the job file is malformed: its last folder has no item";
    return false;
  }
  file.destination = words[0];
  for (size_t i = 1; i < fields.size(); i += 2) file.jobs.push_back({fields[i], words[i + 1]});
  return true;
}

}  // namespace

int runJobFile(const hllib::Package& package, const Arguments& options) {
  JobFile file;
  std::string error;
  if (!readJobs(options.jobs, file, error)) {
    std::fprintf(stderr, "hlextract: %s\n", error.c_str());
    return kExitBadJobFile;
  }
#if defined(_WIN32)
  // Result lines end in LF alone on every platform.
  _setmode(_fileno(stdout), _O_BINARY);
#else
  // A reader that goes away must end the run between two items, not kill it with a signal.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  int exitCode = kExitOk;
  // Made and opened once, for the first item found; the folders of one job stay open for the
  // next.
  hllib::Destination destination;
  std::optional<hllib::Status> opened;
  for (size_t n = 1; n <= file.jobs.size(); ++n) {
    const Job& job = file.jobs[n - 1];
    hllib::Status status;
    hl_extract_summary summary{};
    uint32_t item = HL_NO_ITEM;
    const hllib::Status found = findItem(package, job.item, item);
    if (item != HL_NO_ITEM && !opened)
      opened = destination.open(std::filesystem::path(file.destination));
    if (!found.ok()) {
      status = found;
    } else if (item == HL_NO_ITEM) {
      status = {HL_ITEM_NOT_FOUND, "no such item in the package"};
    } else if (!opened->ok()) {
      status = *opened;
    } else {
      std::string firstFailure;
      status = package.extractInto(
          item, destination, job.folders, options.keepExisting,
          [&](const std::string& path, const hllib::Status& result) {
            const bool kept = result.code == HL_EXISTS;
            if (!result.ok() && !kept && firstFailure.empty())
              firstFailure = storedName(path) + ": " + result.message;
            if (options.verbose)
              std::printf("%zu\t%s\t%s\n", n,
                          result.ok() ? "extracted"
                          : kept      ? "kept"
                                      : "not extracted",
                          printable(storedName(path)).c_str());
          },
          summary);
      // A folder's reason names the file inside it that failed first.
      if (!status.ok() && !package.item(item).is_file && !firstFailure.empty())
        status = {status.code, firstFailure};
    }
    if (!status.ok())
      std::printf("%zu\tfailed\t%s\n", n, printable(status.message).c_str());  // one line
    else if (summary.skipped > 0 && !options.quiet)
      std::printf("%zu\tok\t%u already there, kept\n", n, summary.skipped);
    else if (!options.quiet)
      std::printf("%zu\tok\n", n);
    if (!status.ok() && exitCode == kExitOk) exitCode = exitCodeFor(status.code);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "hlextract: the results are no longer read; stopped after job %zu\n", n);
      return kExitJobsStopped;
    }
  }
  return exitCode;
}

}  // namespace hlextract
