// The tool's command line: options in any order, paths kept in the platform's own encoding.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace hlextract {

using NativeString = std::filesystem::path::string_type;

struct Arguments {
  std::filesystem::path package;       // -p
  std::filesystem::path listFile;      // -lf
  std::filesystem::path destination;   // -d
  std::filesystem::path contentRoot;   // -n
  std::filesystem::path jobs;          // --jobs
  std::vector<NativeString> extract;   // -e, repeatable
  std::vector<NativeString> validate;  // -t, repeatable
  bool list = false;                   // -l
  bool defragment = false;             // -f
  bool forceRewrite = false;           // -r
  bool console = false;                // -c
  bool keepExisting = false;           // -o
  bool verbose = false;                // --verbose
  bool quiet = false;                  // -s, --quiet
  bool help = false;                   // -h
  bool version = false;                // --version
};

// Fills `arguments`; on a mistake returns false with `error` saying what is wrong.
bool parseArguments(const std::vector<NativeString>& words, Arguments& arguments,
                    std::string& error);

extern const char* const kUsage;

}  // namespace hlextract
