// hlextract: lists, extracts and validates the contents of GCF and NCF packages.
#include <cstdio>
#include <exception>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "exit_codes.h"

namespace {

int runTool(const std::vector<hlextract::NativeString>& words) {
  try {
    hlextract::Arguments arguments;
    std::string error;
    if (!hlextract::parseArguments(words, arguments, error)) {
      std::fprintf(stderr, "hlextract: %s\nRun hlextract -h for help.\n", error.c_str());
      return hlextract::kExitUsage;
    }
    return hlextract::runCommands(arguments);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "hlextract: internal error: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "hlextract: internal error\n");
  }
  return hlextract::kExitInternal;
}

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) { return runTool({argv + 1, argv + argc}); }
#else
int main(int argc, char** argv) { return runTool({argv + 1, argv + argc}); }
#endif
