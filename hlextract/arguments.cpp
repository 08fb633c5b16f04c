// Parsing the tool's command line.
#include "arguments.h"

#include <cstring>

#include "text.h"

namespace hlextract {
namespace {

bool is(const NativeString& word, const char* literal) {
  size_t length = std::strlen(literal);
  if (word.size() != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (word[i] != static_cast<NativeString::value_type>(literal[i])) return false;
  return true;
}

using Apply = void (*)(Arguments&, const NativeString& value);

// The modes: what a run does. Every other option changes some of them, and only those.
enum Mode : unsigned {
  kList = 1,
  kListFile = 2,
  kExtract = 4,
  kValidate = 8,
  kJobs = 16,
  kConsole = 32,
  kDefragment = 64,
  kAllModes = 127,
};
constexpr unsigned kEveryRun = 0;  // an option of any run, or a mode itself
constexpr unsigned kExtracting = kExtract | kJobs | kConsole;
constexpr unsigned kReporting = kExtracting | kValidate | kDefragment;

struct Option {
  const char* name;
  bool takesValue;
  unsigned mode;      // the mode this option asks for, or 0
  unsigned goesWith;  // the modes it changes: given with none of them, the run is refused
  Apply apply;
};

// Every option the tool accepts, the modes first, in the order messages name them. -m, -q and
// -v come from older scripts: the reader picks its own way of reading, and packages are always
// opened so that other programs may keep them open, so they change nothing.
constexpr Option kOptions[] = {
    {"-l", false, kList, kEveryRun, [](Arguments& a, const NativeString&) { a.list = true; }},
    {"-lf", true, kListFile, kEveryRun,
     [](Arguments& a, const NativeString& v) { a.listFile = v; }},
    {"-e", true, kExtract, kEveryRun,
     [](Arguments& a, const NativeString& v) { a.extract.push_back(v); }},
    {"-t", true, kValidate, kEveryRun,
     [](Arguments& a, const NativeString& v) { a.validate.push_back(v); }},
    {"--jobs", true, kJobs, kEveryRun, [](Arguments& a, const NativeString& v) { a.jobs = v; }},
    {"-c", false, kConsole, kEveryRun, [](Arguments& a, const NativeString&) { a.console = true; }},
    {"-f", false, kDefragment, kEveryRun,
     [](Arguments& a, const NativeString&) { a.defragment = true; }},
    {"-p", true, 0, kEveryRun, [](Arguments& a, const NativeString& v) { a.package = v; }},
    {"-d", true, 0, kExtract | kConsole,
     [](Arguments& a, const NativeString& v) { a.destination = v; }},
    {"-n", true, 0, kExtracting | kValidate | kList,
     [](Arguments& a, const NativeString& v) { a.contentRoot = v; }},
    {"-o", false, 0, kExtracting, [](Arguments& a, const NativeString&) { a.keepExisting = true; }},
    {"-s", false, 0, kReporting, [](Arguments& a, const NativeString&) { a.quiet = true; }},
    {"--quiet", false, 0, kReporting, [](Arguments& a, const NativeString&) { a.quiet = true; }},
    {"--verbose", false, 0, kReporting | kList,
     [](Arguments& a, const NativeString&) { a.verbose = true; }},
    {"-r", false, 0, kDefragment, [](Arguments& a, const NativeString&) { a.forceRewrite = true; }},
    {"-m", false, 0, kEveryRun, [](Arguments&, const NativeString&) {}},
    {"-q", false, 0, kEveryRun, [](Arguments&, const NativeString&) {}},
    {"-v", false, 0, kEveryRun, [](Arguments&, const NativeString&) {}},
    {"-h", false, 0, kEveryRun, [](Arguments& a, const NativeString&) { a.help = true; }},
    {"--help", false, 0, kEveryRun, [](Arguments& a, const NativeString&) { a.help = true; }},
    {"--version", false, 0, kEveryRun, [](Arguments& a, const NativeString&) { a.version = true; }},
};

const Option* findOption(const NativeString& word) {
  for (const Option& option : kOptions)
    if (is(word, option.name)) return &option;
  return nullptr;
}

// "-e, --jobs or -c": the modes in `modes`, as the table names them.
std::string modeNames(unsigned modes) {
  std::string names;
  for (const Option& option : kOptions)
    if (option.mode & modes) {
      modes &= ~option.mode;
      names += names.empty() ? "" : modes ? ", " : " or ";
      names += option.name;
    }
  return names;
}

}  // namespace

const char* const kUsage =
    "usage: hlextract -p <package> <modes> [options]\n"
    "  -p <package>  the GCF or NCF package to work on\n"
    "Modes, one or more, run in this order:\n"
    "  -l            list every item (with --verbose: sizes and states)\n"
    "  -lf <file>    write the paths of all files to <file>, one root\\... line each;\n"
    "                its missing folders are made\n"
    "  -e <item>     extract a file, a folder with its tree, or root\\ (repeatable)\n"
    "  -t <item>     validate a file, or every file below a folder (repeatable); a file\n"
    "                without stored checksums is \"not checked\", never intact\n"
    "  --jobs <file> extract each item of <file> (UTF-8: destination NUL, then for each\n"
    "                item its folders below it NUL, the item NUL) into its folders;\n"
    "                prints '<n> TAB ok' or '<n> TAB failed TAB <reason>'\n"
    "  -c            console: read commands from standard input ('help' lists them)\n"
    "  -f            defragment in place; no other program may have the package open\n"
    "Options, each refused unless a mode it goes with is given:\n"
    "  -d <folder>   -e, -c: the folder to extract to (default: the current folder);\n"
    "                it and its missing parents are made, links on the way followed\n"
    "  -n <folder>   -l, -e, -t, --jobs, -c: the folder that holds an NCF package's\n"
    "                files (refused for a GCF package, which holds its own)\n"
    "  -o            -e, --jobs, -c: keep existing files: reported as skipped, never\n"
    "                overwritten; a --jobs line says '<n> TAB ok TAB <k> already there,\n"
    "                kept'\n"
    "  -s, --quiet   -e, -t, --jobs, -c, -f: report errors only (--jobs: only the\n"
    "                lines of failed items)\n"
    "  --verbose     -l, -e, -t, --jobs, -c, -f: report every item handled (--jobs:\n"
    "                '<n> TAB extracted|kept|not extracted TAB <path>' before each\n"
    "                result line); not with -s\n"
    "  -r            -f: rewrite the package even when it is not fragmented\n"
    "  -v            volatile access, always on: reads packages others hold open\n"
    "  -m, -q        accepted for older scripts; they change nothing\n"
    "  -h, --version this help; the tool's version\n"
    "Items begin with root\\ and separate folders with backslashes. Names are single\n"
    "bytes: the system code page on Windows; elsewhere Windows-1252, shown and written\n"
    "as UTF-8 (-lf keeps the bytes), and items may be typed in UTF-8 or as those bytes.\n"
    "Exit codes: 0 done (also when -o skipped files), 1 internal fault, 2 bad\n"
    "command line, 3 package unreadable, 4 not a package, 5 unsupported version,\n"
    "6 damaged, 7 item not found, 8 incomplete item, 9 encrypted item, 10 write\n"
    "failed, 11 unsafe item name, 12 not supported yet, 13 package in use,\n"
    "14 package left as it is (-f: the message says why), 15 item name with a\n"
    "line break, 16 item name taken twice in a folder, 17 files not checked (no\n"
    "checksums stored, nothing worse found), 21 --jobs results no longer read,\n"
    "22 bad job file.\n";

bool parseArguments(const std::vector<NativeString>& words, Arguments& arguments,
                    std::string& error) {
  unsigned modes = 0;
  std::vector<std::pair<const Option*, NativeString>> given;  // as typed: -s or --quiet
  for (size_t i = 0; i < words.size(); ++i) {
    const Option* option = findOption(words[i]);
    if (!option) {
      error = "unknown option " + toUtf8(words[i]);
      return false;
    }
    given.emplace_back(option, words[i]);
    modes |= option->mode;
    NativeString value;
    if (option->takesValue) {
      if (i + 1 >= words.size()) {
        error = "option " + toUtf8(words[i]) + " needs a value";
        return false;
      }
      value = words[++i];
    }
    option->apply(arguments, value);
  }
  if (arguments.help || arguments.version) return true;
  if (arguments.package.empty()) {
    error = "no package given (-p)";
    return false;
  }
  if (modes == 0) {
    error = "nothing to do: give " + modeNames(kAllModes);
    return false;
  }
  // An option that no mode of this run uses would be dropped without a word: refused instead.
  for (const auto& [option, word] : given)
    if (option->goesWith != kEveryRun && !(option->goesWith & modes)) {
      error = toUtf8(word) + " goes with " + modeNames(option->goesWith);
      return false;
    }
  if (arguments.quiet && arguments.verbose) {
    error = "-s (--quiet) and --verbose contradict each other: give one";
    return false;
  }
  return true;
}

}  // namespace hlextract
