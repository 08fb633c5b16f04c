// Defragmentation through the hlextract command line: its messages, options, exit codes, and a
// run killed part way through that must leave the package as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "defragment.h"
#include "file_io.h"
#include "test_support.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;

// Windows programs end their text lines with CR LF.
ToolResult withoutCr(ToolResult result) {
  for (std::string* text : {&result.out, &result.err})
    text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
  return result;
}

Options fragmented(uint32_t blockSize) {
  Options options;
  options.blockSize = blockSize;
  options.placement = hl::write::Placement::Interleaved;
  options.freeBlocks = 3;
  return options;
}

class DefragmentTool : public ::testing::Test {
 protected:
  void SetUp() override {
    package_ = makePackage(mixedTree(512), fragmented(512), scratch_ / "game.gcf");
  }
  ToolResult defragment(std::vector<fs::path::string_type> more = {}) {
    std::vector<fs::path::string_type> words{arg("-p"), arg(package_), arg("-f")};
    words.insert(words.end(), more.begin(), more.end());
    return withoutCr(runTool(words));
  }

  ScratchFolder scratch_;
  fs::path package_;
};

TEST_F(DefragmentTool, ReportsEachOutcomeOnStandardOutput) {
  const std::string shown = package_.u8string();
  ToolResult first = defragment();
  EXPECT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.out, "defragmented " + shown + "\n");
  EXPECT_EQ(first.err, "");

  ToolResult again = defragment();
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, shown + " is not fragmented\n");

  ToolResult quiet = defragment({arg("-r"), arg("--quiet")});
  EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");

  ToolResult verbose = defragment({arg("-r"), arg("--verbose")});
  EXPECT_EQ(verbose.exitCode, 0) << verbose.err;
  EXPECT_EQ(verbose.out, "defragmented " + shown + "\n");
  EXPECT_NE(verbose.err.find("100%"), std::string::npos) << verbose.err;

  ToolResult check = runTool({arg("-p"), arg(package_), arg("-t"), arg("root")});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

  Options ncf;
  ncf.type = hl::PackageType::Ncf;
  ncf.formatVersion = 1;
  fs::path ncfPath = makePackage(mixedTree(512), ncf, scratch_ / "game.ncf");
  ToolResult none = withoutCr(runTool({arg("-p"), arg(ncfPath), arg("-f")}));
  EXPECT_EQ(none.exitCode, 0) << none.err;
  EXPECT_EQ(none.out, "an NCF package holds no data to defragment\n");
}

// The package held by another holder (the test here, as a second run of the tool would be):
// the tool says "in use". On Windows the holder also keeps every other writer out.
TEST_F(DefragmentTool, FailuresExitWithTheirCodeAndOneMessageLine) {
  hl::Status locked;
  std::unique_ptr<hl::io::FileLock> lock = hl::io::FileLock::acquire(package_, locked);
  ASSERT_TRUE(lock) << locked.message();
  std::vector<uint8_t> flagged = readFile(package_);
  flagged[0x14] = 1;  // the client's "in use or updating" flag
  writeFile(scratch_ / "flagged.gcf", flagged);
  const std::vector<uint8_t> old = readFile(package_);
  struct Case {
    const char* what;
    fs::path package;
    int exitCode;
    const char* says;
  };
  const Case cases[] = {
      {"missing package", scratch_ / "missing.gcf", 3, "cannot open"},
      {"package in use", package_, 13, "in use"},
      {"flagged by its client", scratch_ / "flagged.gcf", 14, "in use or being updated"},
  };
  for (const Case& c : cases) {
    ToolResult result = withoutCr(runTool({arg("-p"), arg(c.package), arg("-f")}));
    EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.err;
    EXPECT_EQ(result.err.rfind("hlextract: ", 0), 0u) << c.what << ": " << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << c.what << ": " << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << c.what << ": " << result.err;
    EXPECT_EQ(result.out, "") << c.what;
  }
  EXPECT_TRUE(readFile(package_) == old);
  EXPECT_TRUE(defragmentTemporaries(package_).empty());
}

#if !defined(_WIN32)
// The tool this build made, beside the test program.
std::string toolPath() {
  return (fs::read_symlink("/proc/self/exe").parent_path() / "hlextract").string();
}

// A real kill, at whatever point the copy has reached: the package keeps its old bytes, the
// copy left behind is as private as the package, and the next run finishes beside it.
TEST(DefragmentKill, KilledRunLeavesThePackageIntact) {
  ScratchFolder scratch;
  Node tree = Node::folder("");
  for (uint32_t i = 0; i < 64; ++i)
    tree.children.push_back(Node::file("f" + std::to_string(i), Content::pattern(1u << 20, i)));
  fs::path path = makePackage(tree, fragmented(4096), scratch / "big.gcf");
  ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
  if (::geteuid() == 0) {  // the owner is kept where the system allows
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  }
  struct stat package {};
  ASSERT_EQ(::stat(path.c_str(), &package), 0);
  std::vector<uint8_t> old = readFile(path);

  std::string tool = toolPath(), p = "-p", f = "-f", target = path.string();
  char* argv[] = {tool.data(), p.data(), target.data(), f.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, tool.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Kill once the copy has some data in it.
  auto copied = [&] {
    std::vector<fs::path> copies = defragmentTemporaries(path);
    std::error_code missing;
    return copies.size() == 1 && fs::file_size(copies[0], missing) >= (1u << 20) && !missing;
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline && !copied() &&
         waitpid(child, nullptr, WNOHANG) == 0)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  std::vector<fs::path> left = defragmentTemporaries(path);
  bool killedMidway = left.size() == 1;

  EXPECT_TRUE(readFile(path) == old) << "the package changed under a killed run";
  struct stat copy {};
  if (killedMidway && ::stat(left[0].c_str(), &copy) == 0) {
    EXPECT_EQ(copy.st_mode & 07777, 0600u) << "the copy left behind is as private as the package";
    EXPECT_EQ(copy.st_uid, package.st_uid);
    EXPECT_EQ(copy.st_gid, package.st_gid);
  }
  ToolResult rerun = runTool({arg("-p"), arg(path), arg("-f")});
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  EXPECT_TRUE(defragmentTemporaries(path) == left) << "the rerun leaves what it did not make";
  struct stat now {};
  ASSERT_EQ(::stat(path.c_str(), &now), 0);
  EXPECT_EQ(now.st_mode & 07777, 0600u);
  EXPECT_EQ(now.st_uid, package.st_uid);
  ToolResult check = runTool({arg("-p"), arg(path), arg("-t"), arg("root")});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("64 intact"), std::string::npos) << check.out;
  EXPECT_TRUE(killedMidway) << "the run ended before it could be killed; the kill was not tested";
}

// A disk that fills up part way, simulated by a file size limit on the tool's process: the
// write fails with a message, the temporary file goes, the package stays as it was.
TEST(DefragmentKill, FullDiskLeavesThePackageIntact) {
  ScratchFolder scratch;
  Node tree = Node::folder("");
  for (uint32_t i = 0; i < 8; ++i)
    tree.children.push_back(Node::file("f" + std::to_string(i), Content::pattern(1u << 18, i)));
  fs::path path = makePackage(tree, fragmented(4096), scratch / "game.gcf");
  std::vector<uint8_t> old = readFile(path);
  fs::path errors = scratch / "err.txt";

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{old.size() / 2, old.size() / 2};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of killing
    int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(err, 2);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    std::string tool = toolPath();
    execl(tool.c_str(), tool.c_str(), "-p", path.c_str(), "-f", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 10);
  std::vector<uint8_t> message = readFile(errors);
  EXPECT_NE(std::string(message.begin(), message.end()).find("cannot write"), std::string::npos);
  EXPECT_TRUE(readFile(path) == old);
  EXPECT_TRUE(defragmentTemporaries(path).empty());
}
#endif

}  // namespace
