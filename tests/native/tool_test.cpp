// The hlextract program as callers use it: one table of runs with their exit codes and what they
// print (failures, options old and new, validation, NCF, defragmentation, console sessions fed
// through a pipe), then what lands on disk: extraction, the list file, jobs, files kept, and
// outputs that must never replace what the run did not create.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>
#include <tuple>

#include "file_io.h"
#include "layout.h"
#include "package_image.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using Words = std::vector<fs::path::string_type>;

template <typename... Parts>
Words words(const Parts&... parts) {
  return {arg(parts)...};
}

// Each of `expected` in `text`, in this order.
void expectInOrder(const std::string& text, const std::vector<std::string>& expected,
                   const std::string& what) {
  size_t at = 0;
  for (const std::string& part : expected) {
    size_t found = text.find(part, at);
    EXPECT_NE(found, std::string::npos) << what << ": no\n" << part << "\nin\n" << text;
    if (found != std::string::npos) at = found + part.size();
  }
}

// Writes a job file: `destination`, then each job's folders below it and its item.
fs::path writeJobs(const fs::path& file, const fs::path& destination,
                   const std::vector<std::string>& folderThenItem) {
  std::string jobs = destination.u8string() + '\0';
  for (const std::string& field : folderThenItem) jobs += field + '\0';
  writeFile(file, std::vector<uint8_t>(jobs.begin(), jobs.end()));
  return file;
}

const char kExpectedList[] =
    "root\\readme.txt\r\nroot\\empty.dat\r\nroot\\maps\\arena01.bsp\r\n"
    "root\\maps\\sub\\deep.txt\r\nroot\\maps\\sub\\exact.bin\r\nroot\\sound\\big.wav\r\n"
    "root\\sound\\one.byte\r\nroot\\name with spaces, commas.txt\r\n";

class Tool : public ::testing::Test {
 protected:
  // Windows programs end their text lines with CR LF; compared here with LF.
  static ToolResult run(const Words& words, const std::string& input = {},
                        bool outputFails = false) {
    ToolResult result = runTool(words, input, outputFails);
    for (std::string* text : {&result.out, &result.err})
      text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    return result;
  }

  // `out` is the whole output; stdout cannot be written; a failure told on stdout alone.
  enum : int { kExact = 1, kNoOutput = 2, kOutOnly = 4 };
  struct Run {
    const char* what;
    Words words;
    int exitCode;
    std::vector<std::string> out;  // found in the output, in this order
    std::vector<std::string> err;  // each on its own line of the error output, in this order
    int flags = 0;
    const char* input = "";
  };
  // Each run in an empty destination: its exit code and output; a failure says why in one line
  // naming the tool (a console session: one line per mistake), and no run prints a control
  // character.
  void expectRuns(const std::vector<Run>& runs) {
    for (const Run& r : runs) {
      fs::remove_all(out_);
      ToolResult result = run(r.words, r.input, r.flags & kNoOutput);
      EXPECT_EQ(result.exitCode, r.exitCode) << r.what << ": " << result.err << result.out;
      if (r.flags & kExact) {
        EXPECT_EQ(result.out, r.out.at(0)) << r.what;
      } else {
        expectInOrder(result.out, r.out, r.what);
      }
      expectInOrder(result.err, r.err, r.what);
      if ((r.exitCode == 0 || (r.flags & kOutOnly)) && r.err.empty()) {
        EXPECT_EQ(result.err, "") << r.what;
      } else if (*r.input) {
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'),
                  static_cast<ptrdiff_t>(r.err.size()))
            << r.what << ": " << result.err;
      } else if (r.exitCode != 0) {
        EXPECT_EQ(result.err.rfind("hlextract: ", 0), 0u) << r.what << ": " << result.err;
      }
      EXPECT_FALSE(
          std::regex_search(result.out + result.err, std::regex("[\\x00-\\x08\\x0B-\\x1F\\x7F]")))
          << r.what << ": a control character (or binary data) printed";
    }
  }

  Words extract(const fs::path& package, const char* item) {
    return words("-p", package, "-d", out_, "-e", item);
  }
  Words soundWith(const char* more) {
    Words w = words("-p", package_, "-d", out_, "-e", "root\\sound");
    if (*more) w.push_back(arg(more));
    return w;
  }
  // A copy of the package with its bytes from `at` on changed: u32 `value` there, or cut off.
  fs::path changed(const fs::path& from, const std::string& name, uint64_t at,
                   std::optional<uint32_t> value) {
    std::vector<uint8_t> bytes = readFile(from);
    if (value)
      package_image::patch(bytes, {{at, *value}});
    else
      bytes.resize(at);
    writeFile(scratch_ / name, bytes);
    return scratch_ / name;
  }

  ScratchFolder scratch_;
  fs::path package_ = makePackage(mixedTree(4096), gcfLayout(Placement::Scattered, 4096, 0, 3),
                                  scratch_ / "game.gcf");
  fs::path out_ = scratch_ / "out";
  const std::string sound_ = "extracted 2 files (70001 bytes) from root\\sound\n";
};

// The tables of runs keep one row to a line.
// clang-format off
TEST_F(Tool, EachFailureExitsWithItsOwnCode) {
  Node tree = smallTree(512);  // partial.bin stored in part, locked.bin encrypted
  tree.children.push_back(Node::file("..", Content::text("x")));
  tree.children.push_back(Node::folder("clash", {Node::file("same.txt", Content::text("first")),
                                                 Node::file("same.txt", Content::text("2nd"))}));
  const fs::path states = makePackage(tree, unsafeNames(), scratch_ / "states.gcf");
  writeFile(scratch_ / "text.gcf", std::vector<uint8_t>(100, 'x'));
  const fs::path cut = changed(package_, "cut.gcf", fs::file_size(package_) - 1, {});
  const fs::path old = makePackage(mixedTree(4096), gcfLayout(Placement::Sequential, 4096, 0, 0, 3),
                                   scratch_ / "old.gcf");
  const fs::path oldCut =
      changed(old, "old-cut.gcf", package_image::decode(old).directoryAt + 60, {});
  const fs::path ncf2 =
      changed(makePackage(mixedTree(8192), ncfLayout(scratch_ / "c"), scratch_ / "game.ncf"),
              "ncf2.ncf", hl::layout::file_header::kFormatVersion, 2);
  // Missing checksums make a file "not checked", even when damaged (an empty one: intact); damage
  // in every data block makes every file damaged, as does a checksum index past the map.
  const package_image::Image image = package_image::decode(package_);
  auto checksumIndex = [&](const char* name) {
    return image.itemAt(image.itemNamed(name)) + hl::layout::directory_entry::kChecksumIndex;
  };
  const fs::path badIndex =
      changed(package_, "bad-index.gcf", checksumIndex("readme.txt"),
              package_image::u32At(image.head, image.checksumsAt + 16));  // the map's count
  std::vector<uint8_t> bytes = readFile(package_);
  package_image::patch(bytes,
                       {{checksumIndex("readme.txt"), ~0u}, {checksumIndex("empty.dat"), ~0u}});
  bytes[std::string(bytes.begin(), bytes.end()).find("Welcome")] = 'w';
  writeFile(scratch_ / "unchecked.gcf", bytes);
  // A folder's child chain that loops stops a walk through it before any output, as opening once
  // did; what lies on other ways still extracts.
  const uint32_t sub = image.itemNamed("sub");
  const fs::path loop =
      changed(package_, "loop.gcf", image.itemAt(sub) + hl::layout::directory_entry::kNextIndex, sub);
  for (uint64_t at = image.firstBlockOffset; at < bytes.size(); at += image.blockSize)
    bytes[at] ^= 0x80;
  writeFile(scratch_ / "damaged.gcf", bytes);
  writeFile(scratch_ / "a-file", {'x'});
  fs::create_directories(scratch_ / "kept");
  writeFile(scratch_ / "kept" / "partial.bin", {'k'});
  expectRuns({
      {"unknown option", words("-p", package_, "-x"), 2, {}, {}},
      {"missing value", words("-p", package_, "-lf"), 2, {}, {}},
      {"no package", words("-l"), 2, {}, {}},
      {"nothing to do", words("-p", package_), 2, {}, {}},
      {"-n for a GCF", words("-p", package_, "-n", out_, "-d", out_, "-e", "root"), 2, {""}, {"-n goes with an NCF package"}, kExact},
      {"-s and --verbose", words("-p", package_, "-d", out_, "-e", "root", "-s", "--verbose"), 2, {""}, {"contradict"}, kExact},
      {"missing package", words("-p", scratch_ / "none.gcf", "-l"), 3, {}, {}},
      {"a folder as package", words("-p", scratch_.path(), "-l"), 3, {}, {}},
      {"not a package", words("-p", scratch_ / "text.gcf", "-l"), 4, {}, {}},
      {"NCF of an unknown version", words("-p", ncf2, "-l"), 5, {}, {}},
      {"damaged package", words("-p", cut, "-l"), 6, {}, {"the file has ", " bytes\n"}},
      {"older package cut in its directory", words("-p", oldCut, "-l"), 6, {}, {"package is truncated: the directory"}},
      {"damaged files", words("-p", scratch_ / "damaged.gcf", "-t", "root\\maps"), 6, {"damaged: root\\maps\\sub\\deep.txt"}, {}, kOutOnly},
      {"a checksum index past the map", words("-p", badIndex, "-t", "root\\readme.txt"), 6, {"damaged: root\\readme.txt"}, {}, kOutOnly},
      {"a looping tree, -l", words("-p", loop, "-l"), 6, {""}, {"the directory tree has a cycle"}, kExact},
      {"... -t root\\", words("-p", loop, "-t", "root\\"), 6, {""}, {"cycle"}, kExact},
      {"... -f", words("-p", loop, "-f"), 6, {""}, {"cycle"}, kExact},
      {"... -e of its folder", extract(loop, "root\\maps"), 6, {}, {"cycle"}},
      {"... -e away from it", extract(loop, "root\\readme.txt"), 0, {"extracted 1 files"}, {}},
      {"item not found", extract(package_, "root\\nope"), 7, {}, {"root\\nope"}},
      {"a file not checked", words("-p", scratch_ / "unchecked.gcf", "-t", "root\\"), 17, {"not checked: root\\readme.txt", "validated 8 files below root\\: 7 intact, 0 not, 1 not checked"}, {}, kOutOnly},
      {"incomplete item", extract(states, "root\\partial.bin"), 8, {}, {}},
      {"encrypted item", extract(states, "root\\locked.bin"), 9, {}, {}},
      {"write failed", words("-p", package_, "-d", scratch_ / "a-file", "-e", "root"), 10, {}, {}},
      {"write below a file", words("-p", package_, "-d", scratch_ / "a-file" / "x", "-e", "root"), 10, {}, {"is not a folder"}},
      {"list file naming a folder", words("-p", package_, "-lf", (scratch_ / "kept").u8string() + "/"), 10, {}, {"it names a folder"}},
      {"unsafe name", extract(states, "root\\.."), 11, {}, {}},
      {"name clash", extract(states, "root\\clash"), 16, {}, {}},
      {"-o keeps a file, even one it could not read", words("-p", states, "-d", scratch_ / "kept", "-e", "root\\partial.bin", "-o"), 0, {"skipped, already there: root\\partial.bin\nextracted 0 files (0 bytes) from root\\partial.bin, 1 skipped\n"}, {}, kExact},
      {"-s failing", words("-s", "-p", package_, "-d", out_, "-e", "root\\nope"), 7, {""}, {"root\\nope"}, kExact},
  });
  EXPECT_EQ(filesOnDisk(scratch_ / "kept"), (ExpectedFiles{{"partial.bin", {'k'}}}))
      << "no temporary is left beside a kept file";
}

TEST_F(Tool, OutputModesSayWhatTheyShouldAndNeverPrintAControlCharacter) {
  // Names that would retitle and clear the terminal or read back as two list lines show as \xNN
  // everywhere; the second is never listed, and no list file (nor temporary) is written.
  const std::string hostile = "x\x1b]0;T\x07\x1b[2J\x7f.txt",
                    escaped = "x\\x1B]0;T\\x07\\x1B[2J\\x7F.txt";
  fs::path names = makePackage(Node::folder("", {Node::file("a\r\nb.txt", Content::text("x")),
                                                 Node::file(hostile, Content::text("x"))}),
                               unsafeNames(), scratch_ / "names.gcf");
  const std::string typed =
      "dir\nfind x*\ninfo \"" + hostile + "\"\ncd \"" + hostile + "\"\n";
  writeJobs(scratch_ / "jobs", out_, {"", "root\\" + hostile});
  const fs::path lists = scratch_ / "lists";
  fs::create_directories(lists);
  writeFile(lists / "list.txt", {'o', 'l', 'd'});
  const fs::path rootNamed =  // the root named "readme.txt"
      changed(package_, "root-named.gcf", package_image::decode(package_).itemAt(0),
              package_image::decode(package_).items[1].nameOffset);
  std::vector<Run> runs = {
      {"control characters in -l", words("-p", names, "-l"), 15, {"root\\" + escaped + "\n"}, {"root\\a\\x0D\\x0Ab.txt: the name holds a line break"}, kExact},
      {"... in -lf", words("-p", names, "-lf", lists / "list.txt"), 15, {}, {"root\\a\\x0D\\x0Ab.txt", "is not written"}},
      {"... in messages and job results", words("-p", names, "-d", out_, "-e", "root\\" + hostile, "--jobs", scratch_ / "jobs"), 11, {"from root\\" + escaped + ", 1 failed", "1\tfailed\trefusing the item name '" + escaped + "'"}, {"root\\" + escaped + ": refusing the item name '" + escaped + "'"}},
      {"... in the console", words("-p", names, "-c"), 2, {"  " + escaped + "\n", "root\\" + escaped + "\n", "root\\" + escaped + "\n  size:"}, {"root\\" + escaped + " is a file"}, 0, typed.c_str()},
      {"root named other than root", words("-p", rootNamed, "-d", out_, "-e", "root\\", "--verbose", "-c"), 0, {"root\\sound\\big.wav\n", "from root\\\n", "root\\sound\\big.wav\n", "from root\\\n"}, {}, 0, "extract root\n"},
      // Standard output that cannot be written fails the run; --jobs has its own code for it.
      {"-l, no output", words("-p", package_, "-l"), 10, {}, {"cannot write to standard output"}, kNoOutput},
      {"-t, no output", words("-p", package_, "-t", "root\\"), 10, {}, {"standard output"}, kNoOutput},
      {"-e, no output", soundWith(""), 10, {}, {"standard output"}, kNoOutput},
      {"-h, no output", words("-h"), 10, {}, {"standard output"}, kNoOutput},
      {"--jobs, no output", words("-p", names, "--jobs", scratch_ / "jobs"), 21, {}, {"standard output"}, kNoOutput},
      // Help, version, listing and validation.
      {"help", words("-h"), 0, {"usage: hlextract"}, {}},
      {"version", words("--version"), 0, {}, {}},
      {"verbose listing", words("-p", package_, "-l", "--verbose"), 0, {"root\\maps\\empty folder\\", "70000  complete"}, {}},
      {"validation", words("-p", package_, "-t", "root\\"), 0, {"validated 8 files"}, {}},
      // Silence and detail; the older scripts' options, added below, change nothing.
      {"-s", soundWith("-s"), 0, {""}, {}, kExact},
      {"--quiet", soundWith("--quiet"), 0, {""}, {}, kExact},
      {"--verbose", soundWith("--verbose"), 0, {"root\\sound\\big.wav\nroot\\sound\\one.byte\n" + sound_}, {}, kExact},
  };
  for (const char* old : {"", "-m", "-q", "-v", "-o", "-c"})  // -c: a console of no commands
    runs.push_back({old, soundWith(old), 0, {sound_}, {}, kExact});
  expectRuns(runs);
  EXPECT_EQ(readText(lists / "list.txt"), "old") << "the old list stays";
  EXPECT_EQ(namesIn(lists), std::set<std::string>{"list.txt"});
}

// An NCF lists alone, and reads its files from the content folder it is given.
TEST_F(Tool, AnNcfReadsItsFilesFromTheFolderItIsGiven) {
  const fs::path content = scratch_ / "common" / "game";
  fs::create_directories(content);
  fs::path ncf = makePackage(mixedTree(8192), ncfLayout(content), scratch_ / "game.ncf");
  expectRuns({
      {"NCF without its folder", extract(ncf, "root\\maps"), 2, {}, {}},
      {"NCF listing", words("-p", ncf, "-l", "--verbose"), 0, {"not checked     root\\maps\\arena01.bsp"}, {}},
      {"NCF listing with its folder", words("-p", ncf, "-n", content, "-l", "--verbose"), 0, {"complete        root\\maps\\arena01.bsp"}, {}},
      {"NCF validated without its folder", words("-p", ncf, "-c"), 2, {"not checked: root\\maps\\arena01.bsp: the content folder is not given (-n)\n", " 0 not, 3 not checked\n", " 0 not, 3 not checked\n"}, {"give their folder with -n"}, 0, "validate maps\nvalidate maps\n"},
      {"NCF with its folder", words("-p", ncf, "-n", content, "-d", out_, "-e", "root\\maps", "-t", "root\\"), 0, {}, {}},
      {"defragment NCF", words("-p", ncf, "-f"), 0, {"an NCF package holds no data to defragment\n"}, {}, kExact},
  });
}

TEST_F(Tool, DefragmentationSaysWhatItDidOrWhyNot) {
  const fs::path fragmented = makePackage(
      mixedTree(512), gcfLayout(Placement::Interleaved, 512, 0, 3), scratch_ / "fragmented.gcf");
  const fs::path tidy =
      makePackage(mixedTree(512), gcfLayout(Placement::Sequential, 512), scratch_ / "tidy.gcf");
  for (const char* copy : {"quiet.gcf", "verbose.gcf"}) fs::copy_file(fragmented, scratch_ / copy);
  // The client's "in use or updating" flag.
  const fs::path flagged = changed(fragmented, "flagged.gcf", 0x14, 1);
  expectRuns({
      {"defragment", words("-p", fragmented, "-f"), 0, {"defragmented " + fragmented.u8string() + "\n"}, {}, kExact},
      {"not fragmented", words("-p", tidy, "-f"), 0, {tidy.u8string() + " is not fragmented\n"}, {}, kExact},
      {"verbosely", words("-p", scratch_ / "verbose.gcf", "-f", "-r", "--verbose"), 0, {"defragmented " + (scratch_ / "verbose.gcf").u8string() + "\n"}, {"100%"}, kExact},
      {"missing", words("-p", scratch_ / "none.gcf", "-f"), 3, {""}, {"cannot open"}, kExact},
      {"flagged", words("-p", flagged, "-f"), 14, {""}, {"in use or being updated"}, kExact},
  });
}

TEST_F(Tool, ConsoleSessionsMoveListFindAndReadUntilExit) {
  const Words console = words("-p", package_, "-c", "-d", out_);
  const std::string rootListed = "2 folders, 3 files in root\\\n";
  expectRuns({
      {"moving and listing", console, 0,
       {"          25  readme.txt\n", "    <folder>  maps\\\n", rootListed, "  arena01.bsp\n",
        "    <folder>  empty folder\\\n", "2 folders, 1 files in root\\maps\n",
        "        4095  deep.txt\n0 folders, 1 files in root\\maps\\sub\n",
        "       70000  big.wav\n0 folders, 1 files in root\\sound\n",
        "    <folder>  maps\\\n1 folders, 0 files in root\\\n",
        "  exact.bin\n0 folders, 2 files in root\\maps\\sub\n",
        "  big.wav\n0 folders, 1 files in root\\sound\n"},
       {}, 0,
       "dir\n\tcd  maps\nDIR\ncd sub\ndir *.TXT\ncd ..\\..\\sound\ndir ?ig.*\nroot\ndir m*\n"
       "dir maps\\sub\ndir root\\sound\\*.WAV\n"},
      {"info by relative, absolute and quoted paths", console, 0,
       {"root\\maps\\sub\\deep.txt\n  size:        4095 bytes\n  state:       complete\n"
        "  data blocks: 1\n  fragmented:  no\n",
        "root\\sound\\big.wav\n  size:        70000 bytes\n  state:       complete\n"
        "  data blocks: 18\n  fragmented:  yes\n",
        "root\\name with spaces, commas.txt\n  size:        100 bytes\n",
        "root\\maps\\empty folder\\\n  folder with 0 files below it\n",
        "root\\empty.dat\n  size:        0 bytes\n  state:       complete\n  data blocks: 0\n"
        "  fragmented:  no\n"},
       {}, 0,
       "cd maps\ninfo sub\\deep.txt\ninfo root\\sound\\big.wav\n"
       "info \"..\\name with spaces, commas.txt\"\ninfo \"root\\maps\\empty folder\"\n"
       "info ../empty.dat\n"},
      {"find, type and status", console, 0,
       {"root\\readme.txt\nroot\\maps\\sub\\deep.txt\nroot\\name with spaces, commas.txt\n"
        "3 items found\n",
        "root\\maps\\sub\\exact.bin\n1 items found\n", "0 items found\n",
        "Welcome to the package.\n",
        "format:           GCF version 6\nblock size:       4096 bytes\n"
        "data blocks:      30, 27 of them used by files\nitems:            8 files, 4 folders\n"
        "fragmented files: "},
       {}, 0, "find *.TXT\nfind ?xact.bin**\nfind nothing*\ntype readme.txt\nstatus\n"},
      {"extract and validate as -e and -t", console, 0,
       {"extracted 2 files (8191 bytes) from root\\maps\\sub\n",
        "validated 3 files below root\\maps: 3 intact, 0 not\n",
        "extracted 1 files (1 bytes) from root\\sound\\one.byte\n"},
       {}, 0, "cd maps\nextract sub\nvalidate .\nextract root\\sound\\one.byte\n"},
      {"mistakes: one line each, and the console goes on until exit", console, 2, {rootListed},
       {"unknown command 'frobnicate'", "no item 'nope'", "leads above root",
        "root\\sound\\big.wav holds binary data", "root\\maps is a folder", "info takes one name",
        "quote is not closed", "root\\readme.txt is a file", "info takes one name"},
       0,
       "frobnicate\ncd nope\ncd ..\ntype sound\\big.wav\ntype maps\ninfo\ndir \"unclosed\n"
       "cd readme.txt\ninfo readme.txt extra\ndir\nexit\ndir\n"},
  });
}
// clang-format on

// Each option changes what every mode it goes with does, and is refused with any other mode.
TEST_F(Tool, EachOptionChangesItsModesAndIsRefusedWithTheOthers) {
  const fs::path content = scratch_ / "content", list = scratch_ / "list.txt";
  fs::create_directories(content);
  const fs::path ncf = makePackage(mixedTree(4096), ncfLayout(content), scratch_ / "game.ncf");
  const fs::path whole = scratch_ / "whole.gcf", work = scratch_ / "work", jobs = scratch_ / "j";
  fs::copy_file(package_, whole);
  ASSERT_EQ(run(words("-p", whole, "-f")).exitCode, 0);
  writeJobs(jobs, out_, {"", "root\\sound"});
  // clang-format off
  const std::pair<std::string, Words> modes[] = {{"-l", words("-l")}, {"-lf", words("-lf", list)},
      {"-e", words("-d", out_, "-e", "root\\sound")}, {"-t", words("-t", "root\\sound")},
      {"--jobs", words("--jobs", jobs)}, {"-c", words("-d", out_, "-c")}, {"-f", words("-f")}};
  const std::pair<Words, std::string> options[] = {  // each with the modes it goes with
      {words("-d", out_ / "d"), "-e -c"}, {words("-n", content), "-l -e -t --jobs -c"},
      {words("-o"), "-e --jobs -c"}, {words("-s"), "-e -t --jobs -c -f"},
      {words("--verbose"), "-l -e -t --jobs -c -f"}, {words("-r"), "-f"}};
  // clang-format on
  // Exit code, output and every file written, from a fresh package and one file already there.
  auto outcome = [&](const Words& option, const Words& mode, bool with) {
    fs::remove_all(out_);
    fs::create_directories(out_ / "sound");
    writeFile(out_ / "sound" / "big.wav", {'m'});
    const bool forNcf = option[0] == arg("-n");  // in a listing with states
    fs::remove(work);                            // MinGW's copy_file does not overwrite
    fs::copy_file(forNcf ? ncf : option[0] == arg("-r") ? whole : package_, work);
    Words w = words("-p", work);
    w.insert(w.end(), mode.begin(), mode.end());
    if (with) w.insert(w.end(), option.begin(), option.end());
    if (forNcf) w.push_back(arg("--verbose"));
    ToolResult r = run(w, "extract root\\sound\nvalidate root\\sound\n");
    std::string state = std::to_string(r.exitCode) + r.out + r.err;
    for (const auto& entry : fs::recursive_directory_iterator(out_))
      state += entry.path().u8string() + stateOf(entry.path());
    return state;
  };
  for (const auto& [option, goesWith] : options)
    for (const auto& [name, mode] : modes) {
      const std::string given = fs::path(option[0]).u8string(), with = " " + name + " ";
      if ((" " + goesWith + " ").find(with) != std::string::npos)
        EXPECT_NE(outcome(option, mode, true), outcome(option, mode, false)) << given << with;
      else
        EXPECT_EQ(outcome(option, mode, true).rfind("2hlextract: " + given + " goes with ", 0), 0u)
            << given << with;
    }
}

// A folder the user names is theirs: made with its missing parents, reached through links.
TEST_F(Tool, NamedFoldersAreMadeWithTheirParentsAndReachedThroughLinks) {
  const fs::path real = scratch_ / "real";
  fs::create_directories(real);
  std::error_code noLinks;  // Wine makes no symbolic links
  fs::create_directory_symlink(real, scratch_ / "linked", noLinks);
  const fs::path linked = noLinks ? real : scratch_ / "linked";
  for (const Words& w :
       {words("-p", package_, "--jobs",
              writeJobs(scratch_ / "j", linked / "1" / "jobs", {"", "root\\readme.txt"})),
        words("-p", package_, "-d", scratch_ / "2" / "e", "-e", "root\\maps", "-c"),
        words("-p", package_, "-d", linked, "-e", "root\\maps", "-c"),
        words("-p", package_, "-lf", scratch_ / "3" / "l" / "list.txt"),
        words("-p", package_, "-lf", linked / "list.txt")})
    EXPECT_EQ(run(w, "extract sound\n").exitCode, 0) << w.back();
  for (const char* made : {"real/1/jobs/readme.txt", "2/e/maps", "2/e/sound", "3/l/list.txt"})
    EXPECT_TRUE(fs::exists(scratch_ / made)) << made;
  EXPECT_EQ(namesIn(real), (std::set<std::string>{"1", "maps", "sound", "list.txt"}));
  EXPECT_TRUE(noLinks || fs::is_symlink(linked));
}

// Files and folders land as they are stored, with options in any order and paths outside the
// system's code page; the list file names every file.
TEST_F(Tool, ExtractionAndTheListFileWriteWhatThePackageHolds) {
  // Every path here is longer than Win32 takes unmarked.
  const fs::path folder = deepFolder(scratch_ / "Spiele \xc3\xbc \xe6\x97\xa5\xe6\x9c\xac"),
                 out = folder / "out";
  fs::create_directories(folder);
  fs::path package = folder / fs::u8path("p\xc3\xa4\x63kage.gcf");
  fs::copy_file(package_, package);
  fs::path list = folder / fs::u8path("l\xc3\xafst.txt");
  writeFile(list, {});  // private: the list that replaces it must not open it up
  fs::permissions(list, fs::perms::owner_read | fs::perms::owner_write);
  const fs::perms mode = fs::status(list).permissions();
  ToolResult result = run(words("-e", "root\\maps\\sub\\deep.txt", "-p", package, "-lf", list, "-d",
                                out, "-e", "root\\sound"));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(readText(list), kExpectedList);
  EXPECT_EQ(fs::status(list).permissions(), mode);
  const ExpectedFiles expected = expectedFiles(mixedTree(4096));
  EXPECT_EQ(readFile(out / "deep.txt"), expected.at("maps\\sub\\deep.txt"));
  EXPECT_EQ(readFile(out / "sound" / "big.wav"), expected.at("sound\\big.wav"));
  // A list longer than the pieces it is written in (over 300 KB).
  const fs::path many = makePackage(manyFilesTree(12000, 500), Options(), scratch_ / "many.gcf");
  ASSERT_EQ(run(words("-p", many, "-lf", list)).exitCode, 0);
  const std::string lines = readText(list);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 12000);
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
  items.children.push_back(Node::folder("blocked", {Node::file("x", Content::text("x"))}));
  writeFile(scratch_ / "blocked", {'b'});  // a file where the folder would go
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
    for (const Words& w : {words("-p", self, "-lf", scratch_ / name),
                           words("-p", self, "-d", scratch_.path(), "-e", "root\\" + name)}) {
      ToolResult result = run(w);
      EXPECT_EQ(result.exitCode, 10) << name << ": " << result.err;
      EXPECT_EQ(stateOf(scratch_ / name), before) << name;
    }
  }
  EXPECT_EQ(run(words("-p", self, "-d", scratch_.path(), "-e", "root\\blocked")).exitCode, 10);
  EXPECT_EQ(stateOf(scratch_ / "blocked"), "file b");
  EXPECT_EQ(stateOf(self), package);
  EXPECT_EQ(namesIn(scratch_.path()), names) << "nothing added, nothing removed";
  EXPECT_EQ(namesIn(outside), std::set<std::string>{"victim.txt"});
  EXPECT_EQ(readFile(outside / "victim.txt"), std::vector<uint8_t>{'v'});
  fs::permissions(scratch_ / "notes.txt", fs::perms::owner_all);
}

TEST_F(Tool, JobsRunInOrderWithOneResultLineEach) {
  const fs::path deep = deepFolder(scratch_.path()), a = deep / "a", b = deep / "a b" / "c",
                 c = scratch_ / "c";
  for (const char* taken : {"big.wav", "one.byte"}) fs::create_directories(a / "sound" / taken);
  writeFile(deep / "file", {'f'});
  // Each job's folders are made below the destination as an extracted tree's are.
  writeJobs(scratch_ / "jobs", deep,
            {"a", "root\\maps\\sub\\deep.txt", "a b\\c", "root\\nope", "a b\\c", "ROOT\\readme.txt",
             "a", "root\\sound", "a\\..\\up", "root\\readme.txt", "file\\x", "root\\readme.txt"});
  ToolResult result = run(words("-p", package_, "--jobs", scratch_ / "jobs"));
  EXPECT_EQ(result.exitCode, 7) << result.err;               // the first failure's code
  const std::string job4 = "\n4\tfailed\tsound\\big.wav: ";  // the first of its two files
  EXPECT_EQ(result.out.rfind("1\tok\n2\tfailed\tno such item in the package\n3\tok" + job4, 0), 0u);
  expectInOrder(
      result.out,
      {"\n5\tfailed\trefusing the folder name '..': it could leave the destination folder\n",
       "6\tfailed\tcannot create folder ", "something else is there\n"},
      "folders refused");
  const ExpectedFiles expected = expectedFiles(mixedTree(4096));
  EXPECT_TRUE(readFile(a / "deep.txt") == expected.at("maps\\sub\\deep.txt"));
  EXPECT_TRUE(readFile(b / "readme.txt") == expected.at("readme.txt"));
  EXPECT_FALSE(fs::exists(deep / "up"));
  EXPECT_EQ(readFile(deep / "file"), std::vector<uint8_t>{'f'});
  // Files kept, and every file named; only failures.
  writeFile(a / "deep.txt", {'m'});
  fs::remove(b / "readme.txt");
  result = run(words("-p", package_, "--jobs", scratch_ / "jobs", "-o", "--verbose"));
  EXPECT_EQ(
      result.out.rfind(
          "1\tkept\tdeep.txt\n1\tok\t1 already there, kept\n2\tfailed\tno such item in the "
          "package\n3\textracted\treadme.txt\n3\tok\n4\tkept\tsound\\big.wav\n4\tkept\tsound"
          "\\one.byte\n4\tok\t2 already there, kept\n5\tfailed\trefusing the folder name '..'",
          0),
      0u)
      << result.out;
  EXPECT_EQ(readFile(a / "deep.txt"), std::vector<uint8_t>{'m'});
  result = run(
      words("-p", package_, "-d", a / "deep.txt", "-e", "root", "--jobs", scratch_ / "jobs", "-s"));
  EXPECT_EQ(result.out.rfind("2\tfailed\tno such item in the package" + job4, 0), 0u);
  EXPECT_EQ(result.exitCode, 10) << "the first failure (-d names a file) decides, not the jobs'";

  // A job file that is not one is refused before anything is written.
  for (const std::string& bad :
       {std::string(), std::string(1, '\0'), c.u8string(),
        c.u8string() + '\0' + "" + '\0' + "root\\readme.txt",
        c.u8string() + '\0' + "" + '\0' + "root\\readme.txt" + '\0' + "x" + '\0'}) {
    writeFile(scratch_ / "bad", std::vector<uint8_t>(bad.begin(), bad.end()));
    result = run(words("-p", package_, "--jobs", scratch_ / "bad"));
    EXPECT_EQ(result.exitCode, 22) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(c));
  }
  EXPECT_EQ(run(words("-p", package_, "--jobs", scratch_.path())).exitCode, 22) << "a folder";
}

// Another writer of the destination swaps each folder for a link while --jobs runs: each file
// into its job's folders, then the whole tree.
TEST_F(Tool, AFolderSwappedForALinkNeverRedirectsAJob) {
  const fs::path many = makePackage(manyFilesTree(40 * 50, 50), Options(), scratch_ / "many.gcf");
  std::vector<std::string> jobs;
  for (int i = 0; i < 40 * 50; ++i) {
    const std::string folder = "dir" + std::to_string(i / 50);
    jobs.insert(jobs.end(), {folder, "root\\" + folder + "\\file" + std::to_string(i) + ".txt"});
  }
  jobs.insert(jobs.end(), {"", "root\\"});
  writeJobs(scratch_ / "jobs", out_, jobs);
  expectNoWriteOutside(out_, 40, [&] { run(words("-p", many, "--jobs", scratch_ / "jobs")); });
}

#if defined(_WIN32) || defined(__linux__)
// A running game keeps its packages open for reading and writing and lets others do the same.
TEST_F(Tool, PackageHeldOpenByAnotherProgramIsReadButNotDefragmented) {
  std::fstream held(package_, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(held.is_open());
  const std::vector<uint8_t> before = readFile(package_);
  fs::path list = scratch_ / "tmp.txt";
  EXPECT_EQ(run(words("-p", package_, "-lf", list, "-d", out_, "-e", "root\\sound")).exitCode, 0);
  EXPECT_EQ(readText(list), kExpectedList);
  EXPECT_EQ(readFile(out_ / "sound" / "big.wav"), contentOf(Content::pattern(70000, 4)));
  ToolResult defragmented = run(words("-p", package_, "-f"));
  EXPECT_EQ(defragmented.exitCode, 13) << defragmented.err;
  EXPECT_NE(defragmented.err.find("in use by another program"), std::string::npos)
      << defragmented.err;
  held.close();
  EXPECT_EQ(readFile(package_), before);
  EXPECT_TRUE(defragmentTemporaries(package_).empty());
  defragmented = run(words("-p", package_, "-f"));
  EXPECT_EQ(defragmented.exitCode, 0) << "free again: " << defragmented.err;
}
#endif
#if !defined(_WIN32)
TEST(ToolNames, SingleByteNamesAreUtf8OnTheCommandLineAndOnDisk) {
  ScratchFolder scratch;
  // "é1.txt" and "Café\€.txt": the package's single-byte code page, then UTF-8.
  const std::string e1 = "\xE9\x31.txt", cafe = "Caf\xE9", euro = "\x80.txt";
  const std::string e1u = "\xC3\xA9\x31.txt", cafeU = "Caf\xC3\xA9", euroU = "\xE2\x82\xAC.txt";
  Node tree = Node::folder("", {Node::file(e1, Content::text("one")),
                                Node::folder(cafe, {Node::file(euro, Content::text("euro"))})});
  fs::path package = makePackage(tree, Options(), scratch / "names.gcf");
  ToolResult listing = runTool(words("-p", package, "-l", "-lf", scratch / "l.txt"));
  ASSERT_EQ(listing.exitCode, 0) << listing.err;
  EXPECT_EQ(listing.out,
            "root\\" + e1u + "\nroot\\" + cafeU + "\\\nroot\\" + cafeU + "\\" + euroU + "\n");
  EXPECT_EQ(readText(scratch / "l.txt"), "root\\" + e1 + "\r\nroot\\" + cafe + "\\" + euro + "\r\n")
      << "the list file keeps the package's bytes";
  ASSERT_EQ(runTool(words("-p", package, "-d", scratch / "all", "-e", "root\\")).exitCode, 0);
  EXPECT_EQ(readFile(scratch / "all" / e1u), contentOf(Content::text("one")));
  EXPECT_EQ(readFile(scratch / "all" / cafeU / euroU), contentOf(Content::text("euro")));
  // UTF-8 in any case, the package's own bytes, and a name outside the code page.
  const std::tuple<std::string, int, std::string> cases[] = {
      {"root\\" + e1u, 0, "root\\" + e1u},
      {"root\\caf\xC3\xA9\\" + euroU, 0, "root\\" + cafeU + "\\" + euroU},
      {"root\\" + e1, 0, "root\\" + e1u},
      {"root\\" + std::string(40, 'a') + "\xF0", 7,
       std::string(40, 'a') + "\xF0"},  // a sequence cut short
      {"root\\\xF0\x9F\x98\x80.txt", 7, "root\\\xF0\x9F\x98\x80.txt"},
  };
  for (const auto& [item, exitCode, shown] : cases) {
    ToolResult result = runTool(words("-p", package, "-d", scratch / "one", "-e", item));
    EXPECT_EQ(result.exitCode, exitCode) << item << ": " << result.err;
    EXPECT_NE((result.out + result.err).find(shown), std::string::npos) << result.out << result.err;
  }
}
#endif

}  // namespace
