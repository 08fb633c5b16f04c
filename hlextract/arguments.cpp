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

}  // namespace

const char* const kUsage =
    "usage: hlextract -p <package> [options]\n"
    "\n"
    "  -p <package>  the GCF or NCF package to work on\n"
    "  -l            list every item on standard output (-v adds sizes and states)\n"
    "  -lf <file>    write the paths of all files to <file>, one root\\... line each, CR LF\n"
    "  -d <folder>   destination folder for -e (default: the current folder)\n"
    "  -e <item>     extract an item: a file under its own name, a folder with its tree,\n"
    "                root\\ for the whole package; may be repeated\n"
    "  -t <item>     validate a file, or every file below a folder, against its checksums;\n"
    "                may be repeated\n"
    "  -n <folder>   the folder that holds an NCF package's files\n"
    "  --jobs <file> extract many items, each into its own folder: <file> is UTF-8, for each\n"
    "                item its folder, a NUL, the item path, a NUL; as each one ends a line\n"
    "                '<n> TAB ok' or '<n> TAB failed TAB <reason>' goes to standard output;\n"
    "                when that output is no longer read the run stops between two items\n"
    "  -f            defragment the package in place\n"
    "  -r            with -f, rewrite the package even when it is not fragmented\n"
    "  -v            verbose: report every item handled\n"
    "  -q            quiet: report errors only\n"
    "  -h            this help\n"
    "  --version     the tool's version\n"
    "\n"
    "Item paths begin with root\\ and separate folders with backslashes.\n"
    "Exit codes: 0 done, 2 bad command line, 3 package unreadable, 4 not a package,\n"
    "5 unsupported version, 6 damaged, 7 item not found, 8 incomplete item, 9 encrypted item,\n"
    "10 write failed, 11 unsafe item name, 12 not supported yet, 21 --jobs results no longer\n"
    "read, 22 bad job file, 1 internal fault.\n";

bool parseArguments(const std::vector<NativeString>& words, Arguments& arguments,
                    std::string& error) {
  for (size_t i = 0; i < words.size(); ++i) {
    const NativeString& word = words[i];
    auto value = [&](NativeString& out) {
      if (i + 1 >= words.size()) {
        error = "option " + toUtf8(word) + " needs a value";
        return false;
      }
      out = words[++i];
      return true;
    };
    auto pathValue = [&](std::filesystem::path& out) {
      NativeString text;
      if (!value(text)) return false;
      out = text;
      return true;
    };
    NativeString text;
    if (is(word, "-p")) {
      if (!pathValue(arguments.package)) return false;
    } else if (is(word, "-lf")) {
      if (!pathValue(arguments.listFile)) return false;
    } else if (is(word, "-d")) {
      if (!pathValue(arguments.destination)) return false;
    } else if (is(word, "-n")) {
      if (!pathValue(arguments.contentRoot)) return false;
    } else if (is(word, "--jobs")) {
      if (!pathValue(arguments.jobs)) return false;
    } else if (is(word, "-e")) {
      if (!value(text)) return false;
      arguments.extract.push_back(text);
    } else if (is(word, "-t")) {
      if (!value(text)) return false;
      arguments.validate.push_back(text);
    } else if (is(word, "-l")) {
      arguments.list = true;
    } else if (is(word, "-f")) {
      arguments.defragment = true;
    } else if (is(word, "-r")) {
      arguments.forceRewrite = true;
    } else if (is(word, "-v")) {
      arguments.verbose = true;
    } else if (is(word, "-q")) {
      arguments.quiet = true;
    } else if (is(word, "-h") || is(word, "--help")) {
      arguments.help = true;
    } else if (is(word, "--version")) {
      arguments.version = true;
    } else {
      error = "unknown option " + toUtf8(word);
      return false;
    }
  }
  if (arguments.help || arguments.version) return true;
  if (arguments.package.empty()) {
    error = "no package given (-p)";
    return false;
  }
  if (!arguments.list && arguments.listFile.empty() && arguments.extract.empty() &&
      arguments.jobs.empty() && arguments.validate.empty() && !arguments.defragment) {
    error = "nothing to do: give -l, -lf, -e, --jobs, -t or -f";
    return false;
  }
  return true;
}

}  // namespace hlextract
