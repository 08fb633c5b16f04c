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

struct Option {
  const char* name;
  bool takesValue;
  Apply apply;
};

// Every option the tool accepts. -m, -q and -v come from older scripts: the reader picks its
// own way of reading, and packages are always opened so that other programs may keep them
// open, so they change nothing.
constexpr Option kOptions[] = {
    {"-p", true, [](Arguments& a, const NativeString& v) { a.package = v; }},
    {"-lf", true, [](Arguments& a, const NativeString& v) { a.listFile = v; }},
    {"-d", true, [](Arguments& a, const NativeString& v) { a.destination = v; }},
    {"-n", true, [](Arguments& a, const NativeString& v) { a.contentRoot = v; }},
    {"--jobs", true, [](Arguments& a, const NativeString& v) { a.jobs = v; }},
    {"-e", true, [](Arguments& a, const NativeString& v) { a.extract.push_back(v); }},
    {"-t", true, [](Arguments& a, const NativeString& v) { a.validate.push_back(v); }},
    {"-l", false, [](Arguments& a, const NativeString&) { a.list = true; }},
    {"-f", false, [](Arguments& a, const NativeString&) { a.defragment = true; }},
    {"-r", false, [](Arguments& a, const NativeString&) { a.forceRewrite = true; }},
    {"-c", false, [](Arguments& a, const NativeString&) { a.console = true; }},
    {"-o", false, [](Arguments& a, const NativeString&) { a.keepExisting = true; }},
    {"-s", false, [](Arguments& a, const NativeString&) { a.quiet = true; }},
    {"--quiet", false, [](Arguments& a, const NativeString&) { a.quiet = true; }},
    {"--verbose", false, [](Arguments& a, const NativeString&) { a.verbose = true; }},
    {"-m", false, [](Arguments&, const NativeString&) {}},
    {"-q", false, [](Arguments&, const NativeString&) {}},
    {"-v", false, [](Arguments&, const NativeString&) {}},
    {"-h", false, [](Arguments& a, const NativeString&) { a.help = true; }},
    {"--help", false, [](Arguments& a, const NativeString&) { a.help = true; }},
    {"--version", false, [](Arguments& a, const NativeString&) { a.version = true; }},
};

const Option* findOption(const NativeString& word) {
  for (const Option& option : kOptions)
    if (is(word, option.name)) return &option;
  return nullptr;
}

}  // namespace

const char* const kUsage =
    "usage: hlextract -p <package> [options]\n"
    "  -p <package>  the GCF or NCF package to work on\n"
    "  -l            list every item (with --verbose: sizes and states)\n"
    "  -lf <file>    write the paths of all files to <file>, one root\\... line each\n"
    "  -d <folder>   where -e and the console extract to (default: current folder)\n"
    "  -e <item>     extract a file, a folder with its tree, or root\\ (repeatable)\n"
    "  -t <item>     validate a file, or every file below a folder (repeatable); a file\n"
    "                without stored checksums is \"not checked\", never intact\n"
    "  -n <folder>   the folder that holds an NCF package's files\n"
    "  --jobs <file> extract each item of <file> (UTF-8: folder NUL item NUL ...) into\n"
    "                its folder; prints '<n> TAB ok' or '<n> TAB failed TAB <reason>'\n"
    "  -f            defragment in place; no other program may have the package open\n"
    "  -r            with -f, rewrite the package even when it is not fragmented\n"
    "  -o            keep existing files: reported as skipped, never overwritten\n"
    "  -c            console: read commands from standard input ('help' lists them)\n"
    "  -s, --quiet   silent: report errors only\n"
    "  --verbose     report every item handled\n"
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
  for (size_t i = 0; i < words.size(); ++i) {
    const Option* option = findOption(words[i]);
    if (!option) {
      error = "unknown option " + toUtf8(words[i]);
      return false;
    }
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
  if (!arguments.list && arguments.listFile.empty() && arguments.extract.empty() &&
      arguments.jobs.empty() && arguments.validate.empty() && !arguments.defragment &&
      !arguments.console) {
    error = "nothing to do: give -l, -lf, -e, --jobs, -t, -f or -c";
    return false;
  }
  return true;
}

}  // namespace hlextract
