// Input that changes or is no file at all: a package that another program truncates while it is
// read, and FIFOs given as the package or lying in an NCF's content folder. Each must end in a
// clear error, never a signal or a wait without end. POSIX only: these are POSIX file types and
// Windows refuses to truncate a file that another process holds without write sharing.
#if !defined(_WIN32)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "extract.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Options;
using Clock = std::chrono::steady_clock;

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(UnstableInput, PackageTruncatedDuringExtractionEndsInOneError) {
  ScratchFolder scratch;
  fs::path path = makePackage(manyFilesTree(3000, 100), Options(), scratch / "p.gcf");
  auto package = openPackage(path);
  ASSERT_TRUE(package);
  std::vector<std::string> failed;
  hl::ExtractSummary summary;
  hl::Status status = hl::extractItem(
      *package, hl::kRootItem, scratch / "out",
      [&](const std::string& item, const hl::Status& result) {
        if (!result.ok()) failed.push_back(item + ": " + result.message());
        // Another program empties the package after the tenth file.
        if (summary.filesWritten == 10 && failed.empty()) fs::resize_file(path, 0);
      },
      summary);
  EXPECT_EQ(status.code(), hl::ErrorCode::Damaged) << status.message();
  EXPECT_NE(status.message().find("shorter than when it was opened"), std::string::npos)
      << status.message();
  EXPECT_EQ(summary.filesWritten, 10u);
  EXPECT_LE(failed.size(), 2u) << "the extraction stops instead of failing every file";
}

// Extraction and validation stop at the first file the shortened package cannot give.
TEST(UnstableInput, ToolSurvivesAPackageThatShrinksWhileReading) {
  ScratchFolder scratch;
  fs::path path = scratch / "p.gcf";
  fs::path out = scratch / "out";
  // Validation is too quick over small files to be caught midway: it gets 48 MiB to check.
  hl::write::Node large = hl::write::Node::folder("");
  for (uint32_t i = 0; i < 48; ++i)
    large.children.push_back(
        hl::write::Node::file(std::to_string(i) + ".bin", hl::write::Content::pattern(1 << 20, i)));
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

  Options ncfOptions;
  ncfOptions.type = hl::PackageType::Ncf;
  ncfOptions.formatVersion = 1;
  ncfOptions.ncfContentRoot = scratch / "content";
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

}  // namespace
#endif
