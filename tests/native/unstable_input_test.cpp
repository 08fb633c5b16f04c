// Input and conditions that change under a run: a package that another program truncates while it
// is read, FIFOs given as the package or lying in an NCF's content folder, a defragmentation
// meeting a full disk. Each must end in a clear error, never a signal, a wait without end or a
// changed package. POSIX only: these are POSIX file types and signals, and Windows refuses to
// truncate a file that another process holds without write sharing.
#if !defined(_WIN32)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

#include "defragment.h"
#include "layout.h"
#include "package_image.h"
#include "test_support.h"

extern char** environ;

namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

// Runs the tool, its output and errors into one small pipe read only after `midway` ran, once
// the first output came: the full pipe holds the tool near its start until then. Without
// `midway`, the pipe is closed there instead: its reader has gone away.
ToolResult runToolHeld(std::vector<std::string> words, const std::function<void()>& midway) {
  int ends[2] = {-1, -1}, status = 0;
  EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  EXPECT_EQ(::fcntl(ends[0], F_SETPIPE_SZ, 4096), 4096);  // the least a pipe holds
  std::string tool = toolPath().string();
  std::vector<char*> argv{tool.data()};
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int into : {1, 2}) posix_spawn_file_actions_adddup2(&actions, ends[1], into);
  std::string said;
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  char buffer[4096];
  ssize_t got = ::read(ends[0], buffer, sizeof buffer);
  if (midway) midway();
  for (; got > 0 && midway; got = ::read(ends[0], buffer, sizeof buffer)) said.append(buffer, got);
  ::close(ends[0]);
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), said, {}};
}

// Extraction and validation, cut short by the package shrinking to half after it was opened, stop
// at the first file it cannot give with one error that says why (validation: and why it stopped).
// --jobs, whose reader goes away, stops between two items with its own exit code, not a signal.
TEST(UnstableInput, ToolSurvivesAPackageThatShrinksAndAReaderThatGoesAway) {
  ScratchFolder scratch;
  fs::path path = scratch / "p.gcf";
  std::string jobs = (scratch / "out").u8string() + '\0';
  for (int i = 0; i < 2000; ++i)  // results enough to fill the pipe many times over
    jobs += std::string("\0root\\dir0\\file0.txt\0", 21);
  writeFile(scratch / "jobs", std::vector<uint8_t>(jobs.begin(), jobs.end()));
  const std::tuple<std::vector<std::string>, int, size_t> cases[] = {
      {{"--verbose", "-p", path, "-d", scratch / "out", "-e", "root\\"}, 6, 1},
      {{"--verbose", "-p", path, "-t", "root\\"}, 6, 2},
      {{"-p", path, "--jobs", scratch / "jobs"}, 21, 0}};
  for (const auto& [words, exitCode, reasons] : cases) {
    uintmax_t half = fs::file_size(makePackage(manyFilesTree(4000, 500), Options(), path)) / 2;
    ToolResult result = runToolHeld(
        words, reasons ? std::function<void()>([&] { fs::resize_file(path, half); }) : nullptr);
    EXPECT_EQ(result.exitCode, exitCode) << words.at(words.size() - 2) << ": " << result.out;
    size_t told = 0;
    for (size_t at = 0; (at = result.out.find("shorter than when it was opened", at) + 1);) ++told;
    EXPECT_EQ(told, reasons) << words.at(words.size() - 2) << ": " << result.out;
  }
}

// The first bytes of a file went with the package's end while it was open; its later bytes still
// read. The file fails whole, leaving no temporary behind.
TEST(UnstableInput, AFileCutShortWhileOpenFailsWhole) {
  ScratchFolder scratch;
  auto accept = [](const uint8_t*, size_t) { return true; };
  const fs::path path = makePackage(Node::folder("", {Node::file("f", Content::pattern(12288, 1))}),
                                    gcfLayout(Placement::Reversed, 4096), scratch / "p.gcf");
  const package_image::Image image = package_image::decode(path);
  const std::vector<uint32_t> blocks = package_image::fileBlocks(image, 1).at(0);
  ASSERT_TRUE(blocks.size() == 3 && blocks[0] > blocks[1] && blocks[1] > blocks[2]);
  auto package = openPackage(path);
  fs::resize_file(path, image.firstBlockOffset + uint64_t{blocks[0]} * image.blockSize);
  fs::create_directories(scratch / "out");
  EXPECT_EQ(package->extractFile(1, scratch / "out" / "f").code(), hl::ErrorCode::Damaged);
  EXPECT_EQ(package->read(1, accept).code(), hl::ErrorCode::Damaged);
  EXPECT_TRUE(fs::is_empty(scratch / "out"));
  // Tables past the first 64 KiB are read when first needed, here by the lookup: their loss is
  // the reason given.
  const fs::path many = makePackage(manyFilesTree(4000, 500), Options(), scratch / "many.gcf");
  package = openPackage(many);
  fs::resize_file(many, 70000);
  uint32_t item = hl::kNoItem;
  const hl::Status status = package->find("dir7\\file3999.txt", item);
  EXPECT_NE(status.message().find("shorter than when it was opened"), std::string::npos)
      << status.message();
}

// What was read and checked stays as it was: a directory rewritten in place while the package is
// open, every folder's child link now far past the table, is not read again, and a later walk
// follows only the links that were checked.
TEST(UnstableInput, ADirectoryRewrittenWhileOpenIsWalkedAsChecked) {
  ScratchFolder scratch;
  const fs::path path = makePackage(mixedTree(4096), Options(), scratch / "p.gcf");
  auto package = openPackage(path);
  ASSERT_TRUE(package->check().ok());
  std::vector<uint8_t> bytes = readFile(path);
  const package_image::Image image = package_image::decode(path);
  for (uint32_t item = 0; item < image.items.size(); ++item)
    package_image::patch(
        bytes, {{image.itemAt(item) + hl::layout::directory_entry::kFirstIndex, 0x7FFFFFF0}});
  writeFile(path, bytes);
  expectReadsBack(*package, expectedFiles(mixedTree(4096)));
}

// Opens the FIFO for writing once `seconds` have passed, so a reader that waits for a writer
// is released and the test can fail instead of hanging; `released` tells whether one waited.
class FifoRelease {
 public:
  FifoRelease(const fs::path& fifo, int seconds, bool& released)
      : thread_([this, fifo, seconds, &released] {
          auto until = Clock::now() + std::chrono::seconds(seconds);
          while (!stop_ && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          int handle = stop_ ? -1 : ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
          if ((released = handle >= 0)) ::close(handle);
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

  const fs::path content = scratch / "content", contentFifo = content / "readme.txt";
  fs::create_directories(content);
  fs::path ncf = makePackage(mixedTree(8192), ncfLayout(content), scratch / "game.ncf");
  fs::remove(contentFifo);
  ASSERT_EQ(::mkfifo(contentFifo.c_str(), 0600), 0);
  const std::pair<fs::path, std::vector<fs::path::string_type>> cases[] = {
      {fifo, {arg("-p"), arg(fifo), arg("-l")}},
      {contentFifo,
       {arg("-p"), arg(ncf), arg("-n"), arg(content), arg("-d"), arg(scratch / "out"), arg("-e"),
        arg("root\\readme.txt")}},
      {contentFifo, {arg("-p"), arg(ncf), arg("-n"), arg(content), arg("-t"), arg("root\\")}},
  };
  for (const auto& [waitedOn, words] : cases) {
    const std::string what = words.at(words.size() - 2) + " " + words.back();
    ToolResult result;
    bool waited = false;
    {
      FifoRelease release(waitedOn, 3, waited);
      result = runTool(words);
    }
    EXPECT_FALSE(waited) << what << " made the tool wait";
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
