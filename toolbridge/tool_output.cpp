// Reading what the tool writes.
#include "toolbridge/tool_output.h"

#include <charconv>

namespace vaultpick {

namespace {

constexpr std::string_view kToolPrefix = "hlextract: ";

std::string_view withoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  return line;
}

}  // namespace

std::string firstReason(std::string_view errorOutput) {
  while (!errorOutput.empty()) {
    const size_t end = errorOutput.find('\n');
    std::string_view line = withoutLineEnd(errorOutput.substr(0, end));
    errorOutput.remove_prefix(end == std::string_view::npos ? errorOutput.size() : end + 1);
    if (line.substr(0, kToolPrefix.size()) == kToolPrefix) line.remove_prefix(kToolPrefix.size());
    if (!line.empty()) return std::string(line);
  }
  return {};
}

void JobResultReader::feed(std::string_view bytes) {
  pending_.append(bytes);
  size_t start = 0;
  for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1)
    line(std::string_view(pending_).substr(start, end - start));
  pending_.erase(0, start);
}

void JobResultReader::line(std::string_view text) {
  text = withoutLineEnd(text);
  JobResult result;
  const auto [afterNumber, error] =
      std::from_chars(text.data(), text.data() + text.size(), result.number);
  if (error != std::errc() || result.number == 0) return;
  text.remove_prefix(static_cast<size_t>(afterNumber - text.data()));
  if (text == "\tok") {
    result.ok = true;
  } else if (text.substr(0, 7) == "\tfailed") {
    text.remove_prefix(7);
    if (!text.empty() && text.front() == '\t') text.remove_prefix(1);
    result.reason = text;
  } else {
    return;
  }
  onResult_(result);
}

void appendJobField(std::string& jobFile, std::string_view field) {
  jobFile.append(field);
  jobFile += '\0';
}

}  // namespace vaultpick
