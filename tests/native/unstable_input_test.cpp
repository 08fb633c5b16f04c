// Input and conditions that change under a run: a package that another program truncates while it
// is read, FIFOs given as the package or lying in an NCF's content folder, a defragmentation
// killed part way or meeting a full disk. Each must end in a clear error, never a signal, a wait
// without end or a changed package. POSIX only: these are POSIX file types and signals, and
// Windows refuses to truncate a file that another process holds without write sharing.
#if !defined(_WIN32)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "test_support.h"

extern char** environ;

namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The tool this build made, beside the test program.
std::string toolPath() {
  return (fs::read_symlink("/proc/self/exe").parent_path() / "hlextract").string();
}

// Extraction and validation stop at the first file the shortened package cannot give, with one
// error that says why.
TEST(UnstableInput, ToolSurvivesAPackageThatShrinksWhileReading) {
  ScratchFolder scratch;
  fs::path path = scratch / "p.gcf";
  fs::path out = scratch / "out";
  // Validation is too quick over small files to be caught midway: it gets 48 MiB to check.
  Node large = Node::folder("");
  for (uint32_t i = 0; i < 48; ++i)
    large.children.push_back(Node::file(std::to_string(i) + ".bin", Content::pattern(1 << 20, i)));
  for (bool extracting : {true, false}) {
    makePackage(extracting ? manyFilesTree(20000, 500) : large, Options(), path);
    uintmax_t half = fs::file_size(path) / 2;
    std::atomic<bool> done{false};
    std::thread truncator([&] {
      // Extraction: once its first folder is done. Validation has no such sign: soon after
      // the start, and if that is still before opening, the package is refused as truncated.
      auto start = Clock::now();
      while (!done && (extracting ? !fs::exists(out / "dir1")
                                  : Clock::now() - start < std::chrono::milliseconds(10)))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      if (!done) fs::resize_file(path, half);
    });
    ToolResult result =
        extracting ? runTool({arg("-p"), arg(path), arg("-d"), arg(out), arg("-e"), arg("root\\")})
                   : runTool({arg("-p"), arg(path), arg("-t"), arg("root\\")});
    done = true;
    truncator.join();
    const char* what = extracting ? "-e" : "-t";
    EXPECT_EQ(result.exitCode, 6) << what << ": " << result.err;
    std::string said = result.out + result.err;
    EXPECT_TRUE(said.find("shorter than when it was opened") != std::string::npos ||
                said.find("package is truncated") != std::string::npos)
        << what << ": " << said;
    EXPECT_LE(lineCount(said), 4) << what << ": " << said;
  }
}

// Opens the FIFO for writing once `seconds` have passed, so a reader that waits for a writer
// is released and the test can fail instead of hanging.
class FifoRelease {
 public:
  FifoRelease(const fs::path& fifo, int seconds)
      : thread_([this, fifo, seconds] {
          auto until = Clock::now() + std::chrono::seconds(seconds);
          while (!stop_ && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          int handle = stop_ ? -1 : ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
          if (handle >= 0) ::close(handle);
        }) {}
  ~FifoRelease() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(UnstableInput, FifosAreRefusedWithoutWaiting) {
  ScratchFolder scratch;
  fs::path fifo = scratch / "x.gcf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

  Options ncfOptions = ncfLayout(scratch / "content");
  fs::create_directories(ncfOptions.ncfContentRoot);
  fs::path ncf = makePackage(mixedTree(8192), ncfOptions, scratch / "game.ncf");
  fs::path contentFifo = ncfOptions.ncfContentRoot / "readme.txt";
  fs::remove(contentFifo);
  ASSERT_EQ(::mkfifo(contentFifo.c_str(), 0600), 0);

  struct Case {
    const char* what;
    fs::path fifo;
    std::vector<fs::path::string_type> words;
    int exitCode;
  };
  const Case cases[] = {
      {"the package", fifo, {arg("-p"), arg(fifo), arg("-l")}, 3},
      {"an NCF's file, extracted",
       contentFifo,
       {arg("-p"), arg(ncf), arg("-n"), arg(ncfOptions.ncfContentRoot), arg("-d"),
        arg(scratch / "out"), arg("-e"), arg("root\\readme.txt")},
       3},
      {"an NCF's file, validated",
       contentFifo,
       {arg("-p"), arg(ncf), arg("-n"), arg(ncfOptions.ncfContentRoot), arg("-t"), arg("root\\")},
       3},
  };
  for (const Case& c : cases) {
    auto start = Clock::now();
    ToolResult result;
    {
      FifoRelease release(c.fifo, 3);
      result = runTool(c.words);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3)) << c.what << " made the tool wait";
    EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.err;
    EXPECT_NE((result.out + result.err).find("not a regular file"), std::string::npos)
        << c.what << ": " << result.out << result.err;
  }
  EXPECT_FALSE(fs::exists(scratch / "out" / "readme.txt"));
}

// A real kill, at whatever point the copy has reached: the package keeps its old bytes, the
// copy left behind is as private as the package, and the next run finishes beside it.
TEST(DefragmentKill, KilledRunLeavesThePackageIntact) {
  ScratchFolder scratch;
  Node tree = Node::folder("");
  for (uint32_t i = 0; i < 64; ++i)
    tree.children.push_back(Node::file("f" + std::to_string(i), Content::pattern(1u << 20, i)));
  fs::path path =
      makePackage(tree, gcfLayout(Placement::Interleaved, 4096, 0, 3), scratch / "big.gcf");
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
  fs::path path =
      makePackage(tree, gcfLayout(Placement::Interleaved, 4096, 0, 3), scratch / "game.gcf");
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
}  // namespace
#endif
