// The hlextract program as callers use it: the list file's exact bytes, extraction through
// the command line, options in any order, and the exit code and message of every failure.
#include <gtest/gtest.h>

#include <algorithm>

#include "byte_order.h"
#include "hllib/code_page.h"
#include "package_data.h"
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

TEST_F(Tool, FilesWithoutChecksumsAreNotCheckedRatherThanIntact) {
  std::vector<uint8_t> bytes = readFile(package_);
  {
    auto package = openPackage(package_);
    ASSERT_TRUE(package);
    const hl::PackageData& data = package->data();
    uint64_t entry = data.sections.directoryEntries +
                     uint64_t{package->find("readme.txt")} * hl::layout::directory_entry::kSize;
    hl::putLe32(&bytes[entry + hl::layout::directory_entry::kChecksumIndex], hl::layout::kNone32);
  }
  // Its data damaged too: with no checksum to compare, nothing may call it intact.
  const std::string text = "Welcome";
  auto found = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
  ASSERT_NE(found, bytes.end());
  *found = 'w';
  writeFile(package_, bytes);

  ToolResult result = run({arg("-p"), arg(package_), arg("-t"), arg("root\\")});
  EXPECT_EQ(result.exitCode, 17) << result.err << result.out;
  EXPECT_NE(result.out.find("not checked: root\\readme.txt"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("validated 8 files below root\\: 7 intact, 0 not, 1 not checked"),
            std::string::npos)
      << result.out;
  result = run({arg("-p"), arg(package_), arg("-t"), arg("root\\sound")});
  EXPECT_EQ(result.exitCode, 0) << result.out;
  EXPECT_EQ(result.out.find("not checked"), std::string::npos) << result.out;
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

// Every single byte survives the trip to UTF-8 and back; text the code page cannot spell names
// nothing; text that is not UTF-8 is taken as the package's own bytes.
TEST(CodePage, PackageNamesAndUtf8ConvertBothWays) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::string back;
  ASSERT_TRUE(hl::utf8ToPackageName(hl::packageNameToUtf8(all), back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(hl::packageNameToUtf8("\x80\xE9\x81"), "\xE2\x82\xAC\xC3\xA9\xC2\x81");
  EXPECT_FALSE(hl::utf8ToPackageName("\xE6\x97\xA5", back)) << "not in the code page";
  ASSERT_TRUE(hl::utf8ToPackageName("\xC3\xA9\xE9", back));
  EXPECT_EQ(back, "\xC3\xA9\xE9") << "not UTF-8: the package's own bytes";
}

#if !defined(_WIN32)
TEST(ToolNames, SingleByteNamesAreUtf8OnTheCommandLineAndOnDisk) {
  ScratchFolder scratch;
  // "é1.txt" and "Café\€.txt", as the package's single-byte code page spells them.
  Node tree =
      Node::folder("", {Node::file("\xE9"
                                   "1.txt",
                                   Content::text("one")),
                        Node::folder("Caf\xE9", {Node::file("\x80.txt", Content::text("euro"))})});
  fs::path package = makePackage(tree, Options(), scratch / "names.gcf");

  ToolResult listing =
      runTool({arg("-p"), arg(package), arg("-l"), arg("-lf"), arg(scratch / "l.txt")});
  ASSERT_EQ(listing.exitCode, 0) << listing.err;
  EXPECT_EQ(listing.out,
            "root\\\xC3\xA9"
            "1.txt\nroot\\Caf\xC3\xA9\\\nroot\\Caf\xC3\xA9\\\xE2\x82\xAC.txt\n");
  std::vector<uint8_t> list = readFile(scratch / "l.txt");
  EXPECT_EQ(std::string(list.begin(), list.end()),
            "root\\\xE9"
            "1.txt\r\nroot\\Caf\xE9\\\x80.txt\r\n")
      << "the list file keeps the package's bytes";

  ToolResult whole =
      runTool({arg("-p"), arg(package), arg("-d"), arg(scratch / "all"), arg("-e"), arg("root\\")});
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_EQ(readFile(scratch / "all" /
                     "\xC3\xA9"
                     "1.txt"),
            contentOf(Content::text("one")));
  EXPECT_EQ(readFile(scratch / "all" / "Caf\xC3\xA9" / "\xE2\x82\xAC.txt"),
            contentOf(Content::text("euro")));

  struct Case {
    const char* item;
    int exitCode;
    const char* shown;
  };
  const Case cases[] = {
      {"root\\\xC3\xA9"
       "1.txt",
       0,
       "root\\\xC3\xA9"
       "1.txt"},  // UTF-8
      {"root\\caf\xC3\xA9\\\xE2\x82\xAC.txt", 0, "root\\Caf\xC3\xA9\\\xE2\x82\xAC.txt"},
      {"root\\\xE9"
       "1.txt",
       0,
       "root\\\xC3\xA9"
       "1.txt"},                                                // the package's own bytes
      {"root\\\xE6\x97\xA5.txt", 7, "root\\\xE6\x97\xA5.txt"},  // not in the code page
  };
  for (const Case& c : cases) {
    ToolResult result = runTool(
        {arg("-p"), arg(package), arg("-d"), arg(scratch / "one"), arg("-e"), std::string(c.item)});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.item << ": " << result.err;
    EXPECT_NE((result.out + result.err).find(c.shown), std::string::npos)
        << result.out << result.err;
  }
}
#endif

}  // namespace
