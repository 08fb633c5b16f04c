// The hlextract program as callers use it: the list file's exact bytes, extraction through
// the command line, options in any order, and the exit code and message of every failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace {

using namespace testing_support;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    package_ = makePackage(mixedTree(4096), options(), scratch_ / "game.gcf");
  }
  static Options options() {
    Options o;
    o.blockSize = 4096;
    o.placement = hl::write::Placement::Scattered;
    o.freeBlocks = 3;
    return o;
  }
  ToolResult run(std::vector<fs::path::string_type> words) { return runTool(words); }
  static int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  ScratchFolder scratch_;
  fs::path package_;
};

const char kExpectedList[] =
    "root\\readme.txt\r\nroot\\empty.dat\r\nroot\\maps\\de_dust.bsp\r\nroot\\maps\\sub\\deep."
    "txt\r\n"
    "root\\maps\\sub\\exact.bin\r\nroot\\sound\\big.wav\r\nroot\\sound\\one.byte\r\n"
    "root\\name with spaces, commas.txt\r\n";

TEST_F(Tool, ListFileHoldsOneCrLfLinePerFileInAnyOptionOrder) {
  fs::path list = scratch_ / "tmp.txt";
  ToolResult result = run({arg("-p"), arg(package_), arg("-lf"), arg(list)});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<uint8_t> bytes = readFile(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kExpectedList);

  fs::remove(list);
  result = run({arg("-lf"), arg(list), arg("-p"), arg(package_)});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  bytes = readFile(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kExpectedList);
}

TEST_F(Tool, ExtractsFilesFoldersAndTheWholePackage) {
  fs::path out = scratch_ / "out folder";
  fs::create_directories(out);
  ToolResult result = run({arg("-p"), arg(package_), arg("-d"), arg(out), arg("-e"),
                           arg("root\\maps\\sub\\deep.txt"), arg("-e"), arg("root\\sound")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(readFile(out / "deep.txt"), contentOf(Content::pattern(4095, 2)));
  EXPECT_EQ(readFile(out / "sound" / "big.wav"), contentOf(Content::pattern(70000, 4)));

  for (const char* root : {"root\\", "root"}) {
    ScratchFolder whole;
    result = run(
        {arg("-e"), arg(root), arg("-p"), arg(package_), arg("-d"), arg(whole.path()), arg("-q")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.empty()) << "-q prints nothing";
    EXPECT_EQ(readFile(whole / "maps" / "sub" / "exact.bin"), contentOf(Content::pattern(4096, 3)))
        << root;
    EXPECT_EQ(readFile(whole / "name with spaces, commas.txt"), contentOf(Content::pattern(100, 6)))
        << root;
  }
}

TEST_F(Tool, EachFailureHasItsExitCodeAndOneMessageLine) {
  Node partial = Node::file("partial.bin", Content::pattern(3000, 1));
  partial.storedBytes = 5;
  Node locked = Node::file("locked.bin", Content::pattern(300, 1));
  locked.extraFlags = 0x100;
  Options unsafeNames;
  unsafeNames.allowUnsafeNames = true;
  fs::path states =
      makePackage(Node::folder("", {partial, locked, Node::file("..", Content::text("x"))}),
                  unsafeNames, scratch_ / "states.gcf");
  writeFile(scratch_ / "text.gcf", std::vector<uint8_t>(100, 'x'));
  std::vector<uint8_t> cut = readFile(package_);
  cut.resize(cut.size() - 1);
  writeFile(scratch_ / "cut.gcf", cut);
  writeFile(scratch_ / "a-file", {'x'});
  fs::path out = scratch_ / "out";

  struct Case {
    const char* what;
    std::vector<fs::path::string_type> words;
    int exitCode;
  };
  const Case cases[] = {
      {"unknown option", {arg("-p"), arg(package_), arg("-x")}, 2},
      {"missing value", {arg("-p"), arg(package_), arg("-lf")}, 2},
      {"no package", {arg("-l")}, 2},
      {"nothing to do", {arg("-p"), arg(package_)}, 2},
      {"missing package", {arg("-p"), arg(scratch_ / "none.gcf"), arg("-l")}, 3},
      {"not a package", {arg("-p"), arg(scratch_ / "text.gcf"), arg("-l")}, 4},
      {"damaged package", {arg("-p"), arg(scratch_ / "cut.gcf"), arg("-l")}, 6},
      {"item not found",
       {arg("-p"), arg(package_), arg("-d"), arg(out), arg("-e"), arg("root\\nope")},
       7},
      {"incomplete item",
       {arg("-p"), arg(states), arg("-d"), arg(out), arg("-e"), arg("root\\partial.bin")},
       8},
      {"encrypted item",
       {arg("-p"), arg(states), arg("-d"), arg(out), arg("-e"), arg("root\\locked.bin")},
       9},
      {"write failed",
       {arg("-p"), arg(package_), arg("-d"), arg(scratch_ / "a-file"), arg("-e"), arg("root")},
       10},
      {"unsafe name",
       {arg("-p"), arg(states), arg("-d"), arg(out), arg("-e"), arg("root\\..")},
       11},
  };
  for (const Case& c : cases) {
    ToolResult result = run(c.words);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.err;
    EXPECT_GE(lines(result.err), 1) << c.what;
    EXPECT_EQ(result.err.rfind("hlextract: ", 0), 0u) << c.what << ": " << result.err;
  }
  EXPECT_FALSE(fs::exists(out / "partial.bin"));
  EXPECT_FALSE(fs::exists(out / "locked.bin"));
}

TEST_F(Tool, JobsRunInOrderWithOneResultLineEach) {
  const fs::path a = scratch_ / "a", b = scratch_ / "b b";
  fs::create_directories(a);
  fs::create_directories(b);
  std::string jobs;
  auto job = [&](const fs::path& folder, const std::string& item) {
    jobs += folder.u8string() + '\0' + item + '\0';
  };
  job(a, "root\\maps\\sub\\deep.txt");
  job(b, "root\\nope");
  job(b, "ROOT\\readme.txt");
  job(a, "root\\sound");
  writeFile(scratch_ / "jobs", std::vector<uint8_t>(jobs.begin(), jobs.end()));
  ToolResult result = run({arg("-p"), arg(package_), arg("--jobs"), arg(scratch_ / "jobs")});
  EXPECT_EQ(result.exitCode, 7) << result.err;  // the first failure's code
  EXPECT_EQ(result.out, "1\tok\n2\tfailed\tno such item in the package\n3\tok\n4\tok\n");
  const ExpectedFiles expected = expectedFiles(mixedTree(4096));
  EXPECT_TRUE(readFile(a / "deep.txt") == expected.at("maps\\sub\\deep.txt"));
  EXPECT_TRUE(readFile(b / "readme.txt") == expected.at("readme.txt"));
  EXPECT_TRUE(readFile(a / "sound" / "big.wav") == expected.at("sound\\big.wav"));

  // A job file that is not one is refused before anything is written.
  const fs::path c = scratch_ / "c";
  for (const std::string& bad :
       {c.u8string() + '\0' + "root\\readme.txt",
        c.u8string() + '\0' + "root\\readme.txt" + '\0' + c.u8string() + '\0'}) {
    writeFile(scratch_ / "bad", std::vector<uint8_t>(bad.begin(), bad.end()));
    result = run({arg("-p"), arg(package_), arg("--jobs"), arg(scratch_ / "bad")});
    EXPECT_EQ(result.exitCode, 22) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(c));
  }
}

TEST_F(Tool, PathsOutsideTheSystemCodePageWork) {
  fs::path folder = scratch_ / "Spiele \xc3\xbc \xe6\x97\xa5\xe6\x9c\xac";  // "Spiele ü 日本"
  fs::create_directories(folder);
  fs::path package = folder / fs::u8path(
                                  "p\xc3\xa4"
                                  "ckage.gcf");
  fs::path list = folder / fs::u8path("l\xc3\xafst.txt");
  fs::copy_file(package_, package);
  ToolResult result = run({arg("-p"), arg(package), arg("-lf"), arg(list), arg("-d"), arg(folder),
                           arg("-e"), arg("root\\sound\\one.byte")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<uint8_t> bytes = readFile(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kExpectedList);
  EXPECT_EQ(readFile(folder / "one.byte"), contentOf(Content::pattern(1, 5)));
}

TEST_F(Tool, HelpVersionAndVerboseListing) {
  ToolResult help = run({arg("-h")});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: hlextract"), std::string::npos);
  EXPECT_EQ(run({arg("--version")}).exitCode, 0);

  ToolResult listing = run({arg("-p"), arg(package_), arg("-l"), arg("-v")});
  ASSERT_EQ(listing.exitCode, 0) << listing.err;
  EXPECT_NE(listing.out.find("70000  complete"), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("root\\maps\\empty folder\\"), std::string::npos) << listing.out;
}

TEST_F(Tool, ValidationReportsDamagedFilesAndExitsNonZero) {
  ToolResult result = run({arg("-p"), arg(package_), arg("-t"), arg("root\\")});
  EXPECT_EQ(result.exitCode, 0) << result.err << result.out;
  EXPECT_NE(result.out.find("validated 8 files"), std::string::npos) << result.out;

  // Flip one byte in every data block: every non-empty file is then damaged.
  std::vector<uint8_t> bytes = readFile(package_);
  auto package = openPackage(package_);
  ASSERT_TRUE(package);
  uint64_t dataStart = bytes.size() - uint64_t{package->blockCount()} * package->blockSize();
  for (uint64_t at = dataStart; at < bytes.size(); at += package->blockSize()) bytes[at] ^= 0x80;
  package.reset();
  writeFile(package_, bytes);
  result = run({arg("-p"), arg(package_), arg("-t"), arg("root\\maps")});
  EXPECT_EQ(result.exitCode, 6);
  EXPECT_NE(result.out.find("damaged: root\\maps\\sub\\deep.txt"), std::string::npos) << result.out;
}

TEST_F(Tool, NcfListingAndExtractionFromItsContentFolder) {
  Options options;
  options.type = hl::PackageType::Ncf;
  options.formatVersion = 1;
  options.ncfContentRoot = scratch_ / "common" / "game";
  fs::create_directories(options.ncfContentRoot);
  fs::path ncf = makePackage(mixedTree(8192), options, scratch_ / "game.ncf");
  fs::path list = scratch_ / "ncf.txt";
  ToolResult result = run({arg("-p"), arg(ncf), arg("-lf"), arg(list)});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::vector<uint8_t> bytes = readFile(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kExpectedList);

  fs::path out = scratch_ / "out";
  result = run({arg("-p"), arg(ncf), arg("-d"), arg(out), arg("-e"), arg("root\\maps")});
  EXPECT_EQ(result.exitCode, 2) << "an NCF needs its content folder";
  result = run({arg("-p"), arg(ncf), arg("-n"), arg(options.ncfContentRoot), arg("-d"), arg(out),
                arg("-e"), arg("root\\maps"), arg("-t"), arg("root\\")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(readFile(out / "maps" / "de_dust.bsp"), contentOf(Content::pattern(8192 * 3 + 17, 1)));
}

}  // namespace
