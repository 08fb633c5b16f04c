// The hlextract program as callers use it: the list file's exact bytes, extraction through
// the command line, options in any order, the exit code and message of every failure, the
// older scripts' options and console sessions fed through a pipe.
#include <gtest/gtest.h>

#include <algorithm>

#include "byte_order.h"
#include "code_page.h"
#include "hlextract/console_words.h"
#include "package_data.h"
#include "test_support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

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
  // Windows programs end their text lines with CR LF; compared here with LF.
  ToolResult run(const std::vector<fs::path::string_type>& words, const std::string& input = {}) {
    ToolResult result = runTool(words, input);
    for (std::string* text : {&result.out, &result.err})
      for (size_t at = 0; (at = text->find("\r\n", at)) != std::string::npos;) text->erase(at, 1);
    return result;
  }
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

// Neither the list file nor an extracted file replaces anything but a writable regular file
// other than the package, nor writes through a link: what was at the path stays as it was.
TEST_F(Tool, OutputLeavesAloneWhatItMustNotReplace) {
  fs::path outside = scratch_ / "outside";
  fs::create_directories(outside);
  writeFile(outside / "victim.txt", {'v'});
  std::vector<std::string> targets = {"notes.txt", "empty folder", "self.gcf", "hard.gcf"};
  const char* links[] = {"soft.gcf", "planted.txt", "dangling.txt"};
  Node items = Node::folder("");
  for (const auto& name : targets) items.children.push_back(Node::file(name, Content::text("x")));
  for (const char* name : links) items.children.push_back(Node::file(name, Content::text("x")));
  fs::path self = makePackage(items, Options(), scratch_ / "self.gcf");
  writeFile(scratch_ / "notes.txt", {'m'});
  fs::permissions(scratch_ / "notes.txt", fs::perms::owner_read);
  fs::create_directories(scratch_ / "empty folder");
  fs::create_hard_link(self, scratch_ / "hard.gcf");
  std::error_code noLinks;  // Wine makes no symbolic links
  fs::create_symlink(self, scratch_ / links[0], noLinks);
  fs::create_symlink(outside / "victim.txt", scratch_ / links[1], noLinks);
  fs::create_symlink(outside / "new.txt", scratch_ / links[2], noLinks);
  if (!noLinks) targets.insert(targets.end(), std::begin(links), std::end(links));

  std::set<std::string> names = namesIn(scratch_.path());
  std::string package = stateOf(self);
  for (const std::string& name : targets) {
    std::string before = stateOf(scratch_ / name);
    for (const auto& words : {std::vector{arg("-p"), arg(self), arg("-lf"), arg(scratch_ / name)},
                              std::vector{arg("-p"), arg(self), arg("-d"), arg(scratch_.path()),
                                          arg("-e"), arg("root\\" + name)}}) {
      ToolResult result = run(words);
      EXPECT_EQ(result.exitCode, 10) << name << ": " << result.err;
      EXPECT_EQ(stateOf(scratch_ / name), before) << name;
    }
  }
  EXPECT_EQ(stateOf(self), package);
  EXPECT_EQ(namesIn(scratch_.path()), names) << "nothing added, nothing removed";
  EXPECT_EQ(namesIn(outside), std::set<std::string>{"victim.txt"});
  EXPECT_EQ(readFile(outside / "victim.txt"), std::vector<uint8_t>{'v'});
  fs::permissions(scratch_ / "notes.txt", fs::perms::owner_all);
}

// A name with a line break would read back as two entries: listing it is an error, and the
// list file is not written at all.
TEST_F(Tool, ANameWithALineBreakIsNeverListed) {
  Options unsafeNames;
  unsafeNames.allowUnsafeNames = true;
  fs::path package = makePackage(Node::folder("", {Node::file("good.txt", Content::text("g")),
                                                   Node::file("a\r\nb.txt", Content::text("x"))}),
                                 unsafeNames, scratch_ / "breaks.gcf");
  fs::path list = scratch_ / "list.txt";
  writeFile(list, {'o', 'l', 'd'});
  std::set<std::string> names = namesIn(scratch_.path());

  ToolResult result = run({arg("-p"), arg(package), arg("-lf"), arg(list)});
  EXPECT_EQ(result.exitCode, 15) << result.err;
  EXPECT_NE(result.err.find("root\\a<CR><LF>b.txt"), std::string::npos) << result.err;
  EXPECT_EQ(readFile(list), (std::vector<uint8_t>{'o', 'l', 'd'})) << "the old list stays";
  EXPECT_EQ(namesIn(scratch_.path()), names);

  result = run({arg("-p"), arg(package), arg("-l")});
  EXPECT_EQ(result.exitCode, 15) << result.err;
  EXPECT_EQ(result.out.rfind("root\\good.txt", 0), 0u) << result.out;
  EXPECT_EQ(lines(result.out), 1) << result.out;
}

TEST_F(Tool, UnwritableStandardOutputFailsTheRun) {
  ScratchFolder out;
  const std::vector<fs::path::string_type> runs[] = {
      {arg("-p"), arg(package_), arg("-l")},
      {arg("-p"), arg(package_), arg("-t"), arg("root\\")},
      {arg("-p"), arg(package_), arg("-d"), arg(out.path()), arg("-e"), arg("root\\")},
      {arg("-h")},
  };
  for (size_t i = 0; i < std::size(runs); ++i) {
    ToolResult result = runTool(runs[i], {}, true);
    EXPECT_EQ(result.exitCode, 10) << "run " << i << ": " << result.err;
    EXPECT_NE(result.err.find("hlextract: cannot write to standard output"), std::string::npos)
        << result.err;
  }
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
    result = run({arg("-e"), arg(root), arg("-p"), arg(package_), arg("-d"), arg(whole.path()),
                  arg("--quiet")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.empty()) << "--quiet prints nothing";
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
  Node clash = Node::folder("clash", {Node::file("same.txt", Content::text("first")),
                                      Node::file("same.txt", Content::text("second"))});
  fs::path states =
      makePackage(Node::folder("", {partial, locked, Node::file("..", Content::text("x")), clash}),
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
      {"name clash",
       {arg("-p"), arg(states), arg("-d"), arg(out), arg("-e"), arg("root\\clash")},
       16},
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

  ToolResult listing = run({arg("-p"), arg(package_), arg("-l"), arg("--verbose")});
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
    const hl::PackageData& data = hl::modelOf(*package);
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
  result = run({arg("-p"), arg(ncf), arg("-l"), arg("--verbose")});
  EXPECT_NE(result.out.find("not checked     root\\maps\\de_dust.bsp"), std::string::npos)
      << "without its folder a file is not called damaged: " << result.out;
  result = run({arg("-p"), arg(ncf), arg("-n"), arg(options.ncfContentRoot), arg("-d"), arg(out),
                arg("-e"), arg("root\\maps"), arg("-t"), arg("root\\")});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(readFile(out / "maps" / "de_dust.bsp"), contentOf(Content::pattern(8192 * 3 + 17, 1)));
}

using Words = std::vector<fs::path::string_type>;

TEST_F(Tool, ClassicOptionsAreAcceptedAndOnlySilenceChangesTheOutput) {
  const std::string normal = "extracted 2 files (70001 bytes) from root\\sound\n";
  struct Case {
    const char* what;
    Words extra;
    std::string out;
  };
  const Case cases[] = {
      {"no option", {}, normal},
      {"-m", {arg("-m")}, normal},
      {"-q", {arg("-q")}, normal},
      {"-v", {arg("-v")}, normal},
      {"-o", {arg("-o")}, normal},
      {"-c, empty input", {arg("-c")}, normal},
      {"-s", {arg("-s")}, ""},
      {"--quiet", {arg("--quiet")}, ""},
      {"--verbose", {arg("--verbose")}, "root\\sound\\big.wav\nroot\\sound\\one.byte\n" + normal},
      {"all at once", {arg("-c"), arg("-s"), arg("-o"), arg("-m"), arg("-q"), arg("-v")}, ""},
  };
  for (const Case& c : cases) {
    ScratchFolder out;
    Words words = {arg("-p"),       arg(package_), arg("-d"),
                   arg(out.path()), arg("-e"),     arg("root\\sound")};
    words.insert(words.end(), c.extra.begin(), c.extra.end());
    ToolResult result = run(words);
    EXPECT_EQ(result.exitCode, 0) << c.what << ": " << result.err;
    EXPECT_EQ(result.out, c.out) << c.what;
    EXPECT_EQ(readFile(out / "sound/big.wav"), contentOf(Content::pattern(70000, 4))) << c.what;
  }
  ToolResult silentFailure = run({arg("-s"), arg("-p"), arg(package_), arg("-d"),
                                  arg(scratch_ / "x"), arg("-e"), arg("root\\nope")});
  EXPECT_EQ(silentFailure.exitCode, 7);
  EXPECT_EQ(silentFailure.out, "");
  EXPECT_NE(silentFailure.err.find("root\\nope"), std::string::npos) << "errors still show";
}

TEST_F(Tool, KeepExistingLeavesFilesByteForByteAndReportsThemSkipped) {
  fs::path out = scratch_ / "out";
  fs::create_directories(out / "sound");
  const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
  writeFile(out / "sound" / "big.wav", mine);
  Words words = {arg("-p"), arg(package_), arg("-d"), arg(out), arg("-e"), arg("root\\sound")};
  Words keep(words);
  keep.push_back(arg("-o"));
  ToolResult kept = run(keep);
  EXPECT_EQ(kept.exitCode, 0) << kept.err;
  EXPECT_EQ(kept.out,
            "skipped, already there: root\\sound\\big.wav\n"
            "extracted 1 files (1 bytes) from root\\sound, 1 skipped\n");
  EXPECT_EQ(readFile(out / "sound" / "big.wav"), mine);
  EXPECT_EQ(readFile(out / "sound" / "one.byte"), contentOf(Content::pattern(1, 5)));
  EXPECT_EQ(std::distance(fs::directory_iterator(out / "sound"), fs::directory_iterator()), 2)
      << "no temporary left beside the kept file";

  ToolResult replaced = run(words);
  EXPECT_EQ(replaced.exitCode, 0) << replaced.err;
  EXPECT_EQ(readFile(out / "sound" / "big.wav"), contentOf(Content::pattern(70000, 4)));
}

TEST_F(Tool, ConsoleSessionsThroughAPipe) {
  struct Session {
    const char* what;
    const char* input;
    std::vector<std::string> out;  // each found in the output, in this order
    std::vector<std::string> err;  // each on its own line of the error output, in this order
    int exitCode;
  };
  const Session sessions[] = {
      {"moving and listing",
       "dir\ncd maps\nDIR\ncd sub\ndir *.TXT\ncd ..\\..\\sound\ndir ?ig.*\nroot\ndir m*\n"
       "dir maps\\sub\ndir root\\sound\\*.WAV\n",
       {"          25  readme.txt\n", "    <folder>  maps\\\n", "2 folders, 3 files in root\\\n",
        "  de_dust.bsp\n", "    <folder>  empty folder\\\n", "2 folders, 1 files in root\\maps\n",
        "        4095  deep.txt\n0 folders, 1 files in root\\maps\\sub\n",
        "       70000  big.wav\n0 folders, 1 files in root\\sound\n",
        "    <folder>  maps\\\n1 folders, 0 files in root\\\n",
        "  exact.bin\n0 folders, 2 files in root\\maps\\sub\n",
        "  big.wav\n0 folders, 1 files in root\\sound\n"},
       {},
       0},
      {"info by relative, absolute and quoted paths",
       "cd maps\ninfo sub\\deep.txt\ninfo root\\sound\\big.wav\n"
       "info \"..\\name with spaces, commas.txt\"\ninfo \"root\\maps\\empty folder\"\n"
       "info ../empty.dat\n",
       {"root\\maps\\sub\\deep.txt\n  size:        4095 bytes\n  state:       complete\n"
        "  data blocks: 1\n  fragmented:  no\n",
        "root\\sound\\big.wav\n  size:        70000 bytes\n  state:       complete\n"
        "  data blocks: 18\n  fragmented:  yes\n",
        "root\\name with spaces, commas.txt\n  size:        100 bytes\n",
        "root\\maps\\empty folder\\\n  folder with 0 files below it\n",
        "root\\empty.dat\n  size:        0 bytes\n  state:       complete\n  data blocks: 0\n"
        "  fragmented:  no\n"},
       {},
       0},
      {"find, type and status",
       "find *.TXT\nfind ?xact.*\nfind nothing*\ntype readme.txt\nstatus\n",
       {"root\\readme.txt\nroot\\maps\\sub\\deep.txt\nroot\\name with spaces, commas.txt\n"
        "3 items found\n",
        "root\\maps\\sub\\exact.bin\n1 items found\n", "0 items found\n",
        "Welcome to the package.\n",
        "format:           GCF version 6\nblock size:       4096 bytes\n"
        "data blocks:      30, 27 of them used by files\nitems:            8 files, 4 folders\n"
        "fragmented files: "},
       {},
       0},
      {"extract and validate as -e and -t",
       "cd maps\nextract sub\nvalidate .\nextract root\\sound\\one.byte\n",
       {"extracted 2 files (8191 bytes) from root\\maps\\sub\n",
        "validated 3 files below root\\maps: 3 intact, 0 not\n",
        "extracted 1 files (1 bytes) from root\\sound\\one.byte\n"},
       {},
       0},
      {"mistakes: one line each, and the console goes on until exit",
       "frobnicate\ncd nope\ncd ..\ntype sound\\big.wav\ntype maps\ninfo\ndir \"unclosed\n"
       "cd readme.txt\ninfo readme.txt extra\ndir\nexit\ndir\n",
       {"2 folders, 3 files in root\\\n"},
       {"unknown command 'frobnicate'", "no item 'nope'", "leads above root",
        "root\\sound\\big.wav holds binary data", "root\\maps is a folder", "info takes one name",
        "quote is not closed", "root\\readme.txt is a file", "info takes one name"},
       2},
  };
  for (const Session& s : sessions) {
    ScratchFolder out;
    ToolResult result =
        run({arg("-p"), arg(package_), arg("-c"), arg("-d"), arg(out.path())}, s.input);
    EXPECT_EQ(result.exitCode, s.exitCode) << s.what << ": " << result.err;
    size_t at = 0;
    for (const std::string& expected : s.out) {
      size_t found = result.out.find(expected, at);
      EXPECT_NE(found, std::string::npos) << s.what << ": no\n"
                                          << expected << "\nin\n"
                                          << result.out;
      if (found != std::string::npos) at = found + expected.size();
    }
    EXPECT_EQ(lines(result.err), static_cast<int>(s.err.size())) << s.what << ": " << result.err;
    at = 0;
    for (const std::string& expected : s.err) {
      size_t found = result.err.find(expected, at);
      EXPECT_NE(found, std::string::npos) << s.what << ": no " << expected << " in " << result.err;
      if (found != std::string::npos) at = found + expected.size();
    }
    if (s.exitCode == 0) {
      EXPECT_EQ(result.err, "") << s.what;
    }
    EXPECT_EQ(result.out.find('\x01'), std::string::npos) << s.what << ": binary data printed";
  }
  ScratchFolder out;
  runTool({arg("-p"), arg(package_), arg("-c"), arg("-d"), arg(out.path())},
          "cd maps\nextract sub\nextract root\\sound\\one.byte\n");
  EXPECT_EQ(readFile(out / "sub/deep.txt"), contentOf(Content::pattern(4095, 2)));
  EXPECT_EQ(readFile(out / "one.byte"), contentOf(Content::pattern(1, 5)));
}

TEST(ConsoleWords, SplittingWildcardsAndPaths) {
  struct Split {
    const char* line;
    std::vector<std::string> words;  // empty with `bad`
    bool bad = false;
  };
  const Split splits[] = {
      {"cd \"my maps\"", {"cd", "my maps"}},
      {"  info\t a\\b  ", {"info", "a\\b"}},
      {"type \"a\"b", {"type", "ab"}},
      {"x \"\"", {"x", ""}},
      {"dir \"open", {}, true},
  };
  for (const Split& s : splits) {
    std::vector<std::string> words;
    std::string error;
    EXPECT_EQ(hlextract::splitWords(s.line, words, error), !s.bad) << s.line;
    if (!s.bad) {
      EXPECT_EQ(words, s.words) << s.line;
    }
  }

  struct Match {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Match matches[] = {
      {"*.txt", "README.TXT", true},
      {"?xact.*", "exact.bin", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b", "a", false},
      {"*", "", true},
      {"?", "", false},
      {"*.bsp", "x.bsp.bak", false},
      {"**a", "bba", true},
      {"de_?ust", "de_dust", true},
  };
  for (const Match& m : matches)
    EXPECT_EQ(hlextract::matchesWildcard(m.pattern, m.name), m.matches)
        << m.pattern << " " << m.name;

  struct Join {
    const char* current;
    const char* word;
    const char* path;  // null: climbs above the root
  };
  const Join joins[] = {
      {"", "maps", "maps"},
      {"maps", "sub\\deep.txt", "maps\\sub\\deep.txt"},
      {"maps\\sub", "..\\..\\sound", "sound"},
      {"maps", "root\\sound/big.wav", "sound\\big.wav"},
      {"maps", "ROOT", ""},
      {"maps", "rootless", "maps\\rootless"},
      {"maps", ".\\", "maps"},
      {"", "..", nullptr},
      {"maps", "root\\..", nullptr},
  };
  for (const Join& j : joins) {
    std::string path;
    EXPECT_EQ(hlextract::joinItemPath(j.current, j.word, path), j.path != nullptr) << j.word;
    if (j.path) {
      EXPECT_EQ(path, j.path) << j.current << " + " << j.word;
    }
  }
}

#if defined(_WIN32)
// A running game keeps its packages open for reading and writing and lets others do the same.
TEST_F(Tool, PackageHeldOpenByAnotherProgramIsReadButNotDefragmented) {
  HANDLE held = CreateFileW(package_.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::vector<uint8_t> before = readFile(package_);
  fs::path list = scratch_ / "tmp.txt", out = scratch_ / "out";
  ToolResult listed = run({arg("-p"), arg(package_), arg("-lf"), arg(list)});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  std::vector<uint8_t> bytes = readFile(list);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kExpectedList);
  ToolResult extracted =
      run({arg("-p"), arg(package_), arg("-d"), arg(out), arg("-e"), arg("root\\sound")});
  EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
  EXPECT_EQ(readFile(out / "sound" / "big.wav"), contentOf(Content::pattern(70000, 4)));

  ToolResult defragmented = run({arg("-p"), arg(package_), arg("-f")});
  EXPECT_EQ(defragmented.exitCode, 13) << defragmented.err;
  EXPECT_NE(defragmented.err.find("in use by another program"), std::string::npos)
      << defragmented.err;
  CloseHandle(held);
  EXPECT_EQ(readFile(package_), before);
  EXPECT_FALSE(fs::exists(fs::path(package_.native() + L".defrag-tmp")));
  EXPECT_EQ(run({arg("-p"), arg(package_), arg("-f")}).exitCode, 0) << "free again";
}
#endif

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
