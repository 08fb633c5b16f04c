// Reading what the tool writes: its reason on standard error and the result lines of a job
// run. Platform-free, so the parsing is tested natively.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vaultpick {

// The first non-empty line of the tool's standard error without the tool's "hlextract: " prefix;
// empty when it wrote nothing.
std::string firstReason(std::string_view errorOutput);

// One result line of a job run: "<number> TAB ok" or "<number> TAB failed TAB <reason>".
struct JobResult {
  size_t number = 0;  // the job's position in the job file, from 1
  bool ok = false;
  std::string reason;
};

// Collects the tool's standard output, which arrives in pieces of any size, and hands on each
// whole result line; lines that are no result line are ignored.
class JobResultReader {
 public:
  explicit JobResultReader(std::function<void(const JobResult&)> onResult)
      : onResult_(std::move(onResult)) {}
  void feed(std::string_view bytes);

 private:
  void line(std::string_view text);
  std::function<void(const JobResult&)> onResult_;
  std::string pending_;
};

// Appends one field to a job file's text: UTF-8 ended by a NUL, which neither a path nor an
// item name can hold. The file is the destination folder, then for each job its folders below
// the destination and its item path.
void appendJobField(std::string& jobFile, std::string_view field);

}  // namespace vaultpick
