// Shared helpers of the library and tool tests: scratch folders, packages of several shapes
// made by our writer, and running the real tool as a separate process.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "package.h"
#include "shapes.h"

namespace testing_support {

namespace fs = std::filesystem;
using namespace hl::write;  // the writer's trees, shapes and options build every fixture

// A fresh folder below the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / fs::u8path(name); }

 private:
  fs::path path_;
};

// Expected contents of a package: every file's path below the root ('\\'-separated) and bytes.
using ExpectedFiles = std::map<std::string, std::vector<uint8_t>>;

std::vector<uint8_t> contentOf(const hl::write::Content& content);
// Every file below `node`, as the package should hold it.
ExpectedFiles expectedFiles(const hl::write::Node& node);

// Writes the package or fails the calling test.
fs::path makePackage(const hl::write::Node& root, const hl::write::Options& options,
                     const fs::path& target);
hl::write::Options unsafeNames();  // the writer's defaults, taking names extraction refuses
std::unique_ptr<hl::Package> openPackage(const fs::path& path);

// The item at `path`, kNoItem when there is none; fails the calling test when the lookup fails.
uint32_t itemAt(const hl::Package& package, std::string_view path);
// A file's bytes through the library; fails the calling test when it cannot be read.
std::vector<uint8_t> readAll(const hl::Package& package, uint32_t file);
// Reads every complete file through the library, compares it with what was written and
// validates it; files stored in part or encrypted are only counted.
void expectReadsBack(const hl::Package& package, const ExpectedFiles& expected);

std::vector<uint8_t> readFile(const fs::path& path);
std::string readText(const fs::path& path);
void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes);

// The defragmenter's temporary files beside `package`: "<name>.defrag-<random>.tmp".
std::vector<fs::path> defragmentTemporaries(const fs::path& package);

// What is at a path, to compare before and after a run: "missing", "folder", "other", "file "
// with its bytes, or "link to " with its target. Links are not followed.
std::string stateOf(const fs::path& path);
// `base`, then folders enough to take every path below it past 300 characters, longer than what
// Win32 file calls take unmarked (260). Not made.
fs::path deepFolder(const fs::path& base);
// Runs `write`, which writes below `out` into its folders dir0 to dir<folders - 1>, while another
// thread keeps swapping each of them for a link to a folder beside `out`, and expects nothing to
// land there. Skips the calling test where the system makes no links (Wine).
void expectNoWriteOutside(const fs::path& out, int folders, const std::function<void()>& write);
// The names directly in `folder`.
std::set<std::string> namesIn(const fs::path& folder);
// Every file below `folder` on disk, by path relative to it ('\\'-separated), and its bytes.
ExpectedFiles filesOnDisk(const fs::path& folder);

struct ToolResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
fs::path toolPath();  // the hlextract program that this build made
// Runs it with `arguments` passed unchanged and `input` as its standard input (a file, so never a
// terminal). With `outputFails`, every write to its standard output fails (a full device; a
// read-only handle on Windows), and `out` stays empty.
ToolResult runTool(const std::vector<fs::path::string_type>& arguments,
                   const std::string& input = {}, bool outputFails = false);

// Native strings for runTool from UTF-8 text and paths.
fs::path::string_type arg(const char* utf8);
fs::path::string_type arg(const std::string& utf8);
fs::path::string_type arg(const fs::path& path);

}  // namespace testing_support
