// Shared helpers of the library and tool tests.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#if defined(_WIN32)
#include <windows.h>

#include "toolbridge/command_lines.h"
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace testing_support {

using hl::write::Content;
using hl::write::Node;

ScratchFolder::ScratchFolder() {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = fs::temp_directory_path() / ("vaultpick-test-" + std::to_string(stamp % 1000000007) +
                                       "-" + std::to_string(counter++));
  fs::create_directories(path_);
}

fs::path deepFolder(const fs::path& base) {
  return base / std::string(100, 'd') / std::string(100, 'e') / std::string(100, 'p');
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::vector<uint8_t> contentOf(const Content& content) {
  std::vector<uint8_t> bytes(content.size);
  if (content.size) content.fill(0, bytes.data(), bytes.size());
  return bytes;
}

static void collect(const Node& node, const std::string& prefix, ExpectedFiles& files) {
  for (const Node& child : node.children) {
    std::string path = prefix.empty() ? child.name : prefix + "\\" + child.name;
    if (child.isFile)
      files[path] = contentOf(child.content);
    else
      collect(child, path, files);
  }
}

ExpectedFiles expectedFiles(const Node& node) {
  ExpectedFiles files;
  collect(node, "", files);
  return files;
}

fs::path makePackage(const Node& root, const hl::write::Options& options, const fs::path& target) {
  hl::Status status = hl::write::writePackage(root, options, target);
  EXPECT_TRUE(status.ok()) << status.message();
  return target;
}

hl::write::Options unsafeNames() {
  hl::write::Options options;
  options.allowUnsafeNames = true;
  return options;
}

std::unique_ptr<hl::Package> openPackage(const fs::path& path) {
  hl::Status status;
  std::unique_ptr<hl::Package> package = hl::Package::open(path, status);
  EXPECT_TRUE(package) << status.message();
  return package;
}

uint32_t itemAt(const hl::Package& package, std::string_view path) {
  uint32_t item = hl::kNoItem;
  const hl::Status status = package.find(path, item);
  EXPECT_TRUE(status.ok()) << path << ": " << status.message();
  return item;
}

std::vector<uint8_t> readAll(const hl::Package& package, uint32_t file) {
  std::vector<uint8_t> bytes;
  hl::Status status = package.read(file, [&](const uint8_t* data, size_t size) {
    bytes.insert(bytes.end(), data, data + size);
    return true;
  });
  EXPECT_TRUE(status.ok()) << status.message();
  return bytes;
}

void expectReadsBack(const hl::Package& package, const ExpectedFiles& expected) {
  size_t files = 0;
  package.walk(hl::kRootItem, '\\', [&](uint32_t item, const std::string& path) {
    if (!package.isFile(item)) return;
    ++files;
    auto wanted = expected.find(path);
    ASSERT_NE(wanted, expected.end()) << "unexpected file " << path;
    hl::FileInfo info;
    ASSERT_TRUE(package.inspect(item, info).ok()) << path;
    if (!info.complete()) return;
    EXPECT_TRUE(readAll(package, item) == wanted->second) << path << " reads back different bytes";
    hl::ChunkReport report;
    EXPECT_TRUE(package.validate(item, report).ok()) << path;
  });
  EXPECT_EQ(files, expected.size());
}

std::vector<uint8_t> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> defragmentTemporaries(const fs::path& package) {
  const std::string prefix = package.filename().u8string() + ".defrag-";
  std::vector<fs::path> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(package.parent_path(), error))
    if (entry.path().filename().u8string().rfind(prefix, 0) == 0) found.push_back(entry.path());
  return found;
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string stateOf(const fs::path& path) {
  std::error_code error;
  switch (fs::symlink_status(path, error).type()) {
    case fs::file_type::not_found:
      return "missing";
    case fs::file_type::directory:
      return "folder";
    case fs::file_type::symlink:
      return "link to " + fs::read_symlink(path, error).u8string();
    case fs::file_type::regular:
      return "file " + readText(path);
    default:
      return "other";
  }
}

void expectNoWriteOutside(const fs::path& out, int folders, const std::function<void()>& write) {
  const fs::path outside = out.parent_path() / "outside";
  fs::create_directories(out);
  fs::create_directories(outside);
  std::atomic<bool> done{false};
  std::atomic<int> swaps{0};  // proof that the race was run
  std::thread swapper([&] {
    for (int round = 0; !done; ++round)
      for (int i = 0; i < folders; ++i) {
        fs::path folder = out / ("dir" + std::to_string(i));
        std::error_code error;
        if (fs::symlink_status(folder, error).type() != fs::file_type::directory) continue;
        fs::rename(folder, out / ("moved" + std::to_string(round) + "-" + std::to_string(i)),
                   error);
        if (!error) fs::create_directory_symlink(outside, folder, error);
        swaps += error ? 0 : 1;
      }
  });
  write();
  done = true;
  swapper.join();
  if (swaps == 0) GTEST_SKIP() << "no folder could be swapped for a link here";
  EXPECT_TRUE(fs::is_empty(outside)) << namesIn(outside).size() << " files landed outside";
}

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(entry.path().filename().u8string());
  return names;
}

ExpectedFiles filesOnDisk(const fs::path& folder) {
  ExpectedFiles files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), folder).generic_u8string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    files[relative] = readFile(entry.path());
  }
  return files;
}

fs::path::string_type arg(const char* utf8) { return fs::u8path(utf8).native(); }
fs::path::string_type arg(const std::string& utf8) { return fs::u8path(utf8).native(); }
fs::path::string_type arg(const fs::path& path) { return path.native(); }

std::string readText(const fs::path& path) {
  std::vector<uint8_t> bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

#if defined(_WIN32)

fs::path toolPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return fs::path(self).parent_path() / L"HLExtract.exe";
}

ToolResult runTool(const std::vector<std::wstring>& arguments, const std::string& input,
                   bool outputFails) {
  ScratchFolder scratch;
  fs::path outPath = scratch / "out.txt", errPath = scratch / "err.txt";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // The whole input goes into the pipe before the tool starts, so the pipe is made to hold it.
  HANDLE in = nullptr, feed = nullptr;
  CreatePipe(&in, &feed, &inherit, static_cast<DWORD>(input.size() + 4096));
  SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0);
  DWORD fed = 0;
  WriteFile(feed, input.data(), static_cast<DWORD>(input.size()), &fed, nullptr);
  CloseHandle(feed);
  HANDLE out = CreateFileW(outPath.c_str(), outputFails ? GENERIC_READ : GENERIC_WRITE,
                           FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  std::wstring line = vaultpick::quoteArgument(toolPath().native());
  for (const std::wstring& word : arguments) line += L" " + vaultpick::quoteArgument(word);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = in;
  startup.StartupInfo.hStdOutput = out;
  startup.StartupInfo.hStdError = err;
  // The tool inherits these three and nothing else, as the program starts it: a file a test
  // holds open must not live on in a tool that has ended but whose handles Wine closes later.
  HANDLE inherited[] = {in, out, err};
  SIZE_T listSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
  std::vector<char> list(listSize);
  startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
  InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &listSize);
  UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                            inherited, sizeof inherited, nullptr, nullptr);
  PROCESS_INFORMATION process{};
  ToolResult result;
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                     CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                     &startup.StartupInfo, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result.exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  DeleteProcThreadAttributeList(startup.lpAttributeList);
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  result.out = readText(outPath);
  result.err = readText(errPath);
  return result;
}

#else

fs::path toolPath() { return fs::read_symlink("/proc/self/exe").parent_path() / "hlextract"; }

ToolResult runTool(const std::vector<std::string>& arguments, const std::string& input,
                   bool outputFails) {
  ScratchFolder scratch;
  fs::path outPath = scratch / "out.txt", errPath = scratch / "err.txt";
  // The whole input goes into the pipe before the tool starts: it must fit the pipe's buffer.
  int pipeEnds[2] = {-1, -1};
  if (input.size() > 32768 || ::pipe2(pipeEnds, O_CLOEXEC) != 0 ||
      ::write(pipeEnds[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
    ADD_FAILURE() << "cannot feed the tool's input";
  ::close(pipeEnds[1]);
  std::string tool = toolPath().string();
  std::vector<char*> argv{tool.data()};
  std::vector<std::string> words(arguments);
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFails ? "/dev/full" : outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  ToolResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[0]);
  result.out = readText(outPath);
  result.err = readText(errPath);
  return result;
}

#endif

}  // namespace testing_support
