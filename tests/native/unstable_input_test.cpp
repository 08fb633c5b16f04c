// Input and conditions that change under a run: a package that another program truncates while it
// is read, FIFOs given as the package or lying in an NCF's content folder, a defragmentation
// meeting a full disk. Each must end in a clear error, never a signal, a wait
// without end or a changed package. POSIX only: these are POSIX file types and signals, and
// Windows refuses to truncate a file that another process holds without write sharing.
#if !defined(_WIN32)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "defragment.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

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
    EXPECT_LE(std::count(said.begin(), said.end(), '\n'), 4) << what << ": " << said;
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

  const fs::path content = ncfOptions.ncfContentRoot;
  const std::pair<fs::path, std::vector<fs::path::string_type>> cases[] = {
      {fifo, {arg("-p"), arg(fifo), arg("-l")}},
      {contentFifo,
       {arg("-p"), arg(ncf), arg("-n"), arg(content), arg("-d"), arg(scratch / "out"), arg("-e"),
        arg("root\\readme.txt")}},
      {contentFifo, {arg("-p"), arg(ncf), arg("-n"), arg(content), arg("-t"), arg("root\\")}},
  };
  for (const auto& [waitedOn, words] : cases) {
    const std::string what = words.at(words.size() - 2) + " " + words.back();
    auto start = Clock::now();
    ToolResult result;
    {
      FifoRelease release(waitedOn, 3);
      result = runTool(words);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3)) << what << " made the tool wait";
    EXPECT_EQ(result.exitCode, 3) << what << ": " << result.err;
    EXPECT_NE((result.out + result.err).find("not a regular file"), std::string::npos)
        << what << ": " << result.out << result.err;
  }
  EXPECT_FALSE(fs::exists(scratch / "out" / "readme.txt"));
}

// A disk that fills up part way, simulated by a file size limit: the write fails with a
// message, the temporary file goes, the package stays as it was.
TEST(UnstableInput, FullDiskLeavesThePackageIntact) {
  ScratchFolder scratch;
  Node tree = Node::folder("");
  for (uint32_t i = 0; i < 8; ++i)
    tree.children.push_back(Node::file("f" + std::to_string(i), Content::pattern(1u << 18, i)));
  fs::path path =
      makePackage(tree, gcfLayout(Placement::Interleaved, 4096, 0, 3), scratch / "game.gcf");
  std::vector<uint8_t> old = readFile(path);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const rlimit limit{old.size() / 2, saved.rlim_max};
  auto previous = signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of killing
  setrlimit(RLIMIT_FSIZE, &limit);
  hl::DefragmentResult result{};
  hl::Status status = hl::defragment(path, {}, result);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(status.code(), hl::ErrorCode::WriteFailed) << status.message();
  EXPECT_NE(status.message().find("cannot write"), std::string::npos) << status.message();
  EXPECT_TRUE(readFile(path) == old);
  EXPECT_TRUE(defragmentTemporaries(path).empty());
}
}  // namespace
#endif
