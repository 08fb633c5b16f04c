// hlmake: builds GCF and NCF packages with our writer, for the demo, tests and benchmarks.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shapes.h"
#include "writer.h"

namespace {

namespace fs = std::filesystem;

enum ExitCode {
  kExitOk = 0,           // the package (and the tree, if asked for) was written
  kExitFailed = 1,       // writing failed; the message says why
  kExitBadArguments = 2  // the command line was not understood; nothing was written
};

const char kUsage[] =
    "usage: hlmake <shape> [options]\n"
    "  hlmake demo <out.gcf> [--tree <folder>]\n"
    "      a small, scattered GCF of game-like files with a readme\n"
    "  hlmake files <count> <out.gcf> [--fragmented] [--tree <folder>]\n"
    "      <count> files of 200-3000 bytes in folders of 1000, 1 KiB blocks\n"
    "  hlmake bytes <MiB> <out.gcf> [--fragmented] [--tree <folder>]\n"
    "      about <MiB> MiB in files of about 1 MiB in nested folders, 8 KiB blocks\n"
    "  hlmake ncf <out.ncf> <content-root>\n"
    "      the demo's files as an NCF, with the files themselves below <content-root>\n"
    "options:\n"
    "  --fragmented     scatter the blocks among some free ones instead of in file order\n"
    "  --tree <folder>  also write the same files as a plain folder tree at <folder>\n"
    "  --format <n>     GCF format version: 6 (default), or 5 or 3, which are experimental:\n"
    "                   their layout is inferred, not documented\n";

struct Arguments {
  std::string shape;
  std::vector<std::string> positional;
  bool fragmented = false;
  std::optional<fs::path> tree;
  std::string format;
};

struct BadArguments {
  std::string message;
};

Arguments parse(int argc, char** argv) {
  if (argc < 2) throw BadArguments{"no shape given"};
  Arguments arguments;
  arguments.shape = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--fragmented") {
      arguments.fragmented = true;
    } else if (arg == "--tree") {
      if (i + 1 == argc) throw BadArguments{"--tree needs a folder"};
      arguments.tree = fs::path(argv[++i]);
    } else if (arg == "--format") {
      if (i + 1 == argc) throw BadArguments{"--format needs a version"};
      arguments.format = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw BadArguments{"unknown option " + arg};
    } else {
      arguments.positional.push_back(arg);
    }
  }
  return arguments;
}

uint32_t number(const std::string& text, const char* what, uint32_t limit) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || text[0] == '-' || value < 1 || value > limit)
    throw BadArguments{std::string(what) + " must be a whole number from 1 to " +
                       std::to_string(limit) + ", not '" + text + "'"};
  return static_cast<uint32_t>(value);
}

void expectPositional(const Arguments& arguments, size_t count) {
  if (arguments.positional.size() != count)
    throw BadArguments{arguments.shape + " takes " + std::to_string(count) +
                       (count == 1 ? " argument, not " : " arguments, not ") +
                       std::to_string(arguments.positional.size())};
}

hl::write::Shape withFormat(hl::write::Shape shape, const std::string& format) {
  if (format.empty()) return shape;
  if (format != "6" && format != "5" && format != "3")
    throw BadArguments{"--format takes 6, 5 or 3, not '" + format + "'"};
  shape.options.formatVersion = static_cast<uint32_t>(std::stoul(format));
  return shape;
}

// Picks the shape and the output path from the command line.
hl::write::Shape shapeFor(const Arguments& arguments, fs::path& out) {
  if (!arguments.format.empty() && arguments.shape == "ncf")
    throw BadArguments{"--format applies to GCF shapes only"};
  const std::vector<std::string>& p = arguments.positional;
  const bool sized = arguments.shape == "files" || arguments.shape == "bytes";
  if (arguments.fragmented && !sized)
    throw BadArguments{"--fragmented applies to files and bytes only"};
  if (arguments.tree && arguments.shape == "ncf")
    throw BadArguments{"ncf writes its files below <content-root> already"};
  if (arguments.shape == "demo") {
    expectPositional(arguments, 1);
    out = p[0];
    return withFormat(hl::write::demo(), arguments.format);
  }
  if (arguments.shape == "files") {
    expectPositional(arguments, 2);
    out = p[1];
    return withFormat(hl::write::files(number(p[0], "<count>", 10000000), arguments.fragmented),
                      arguments.format);
  }
  if (arguments.shape == "bytes") {
    expectPositional(arguments, 2);
    out = p[1];
    return withFormat(hl::write::bytes(number(p[0], "<MiB>", 1u << 20), arguments.fragmented),
                      arguments.format);
  }
  if (arguments.shape == "ncf") {
    expectPositional(arguments, 2);
    out = p[0];
    return hl::write::ncf(p[1]);
  }
  throw BadArguments{"unknown shape '" + arguments.shape + "'"};
}

struct Totals {
  uint64_t items = 1;  // the root
  uint64_t files = 0;
  uint64_t bytes = 0;
};

void count(const hl::write::Node& node, Totals& totals) {
  for (const hl::write::Node& child : node.children) {
    ++totals.items;
    if (child.isFile) {
      ++totals.files;
      totals.bytes += child.content.size;
    }
    count(child, totals);
  }
}

std::string summary(const hl::write::Shape& shape, const fs::path& out,
                    const std::optional<fs::path>& tree, double seconds) {
  Totals totals;
  count(shape.tree, totals);
  const bool gcf = shape.options.type == hl::PackageType::Gcf;
  char text[512];
  std::snprintf(text, sizeof text,
                "%s v%u, %llu items (%llu files), %llu bytes of data, %s; %llu bytes in %.2f s",
                gcf ? "GCF" : "NCF", shape.options.formatVersion,
                static_cast<unsigned long long>(totals.items),
                static_cast<unsigned long long>(totals.files),
                static_cast<unsigned long long>(totals.bytes), shape.name.c_str(),
                static_cast<unsigned long long>(fs::file_size(out)), seconds);
  std::string line = "hlmake: wrote " + out.string() + ": " + text;
  if (tree) line += "; the same files below " + tree->string();
  return line;
}

int run(int argc, char** argv) {
  Arguments arguments;
  fs::path out;
  hl::write::Shape shape;
  try {
    arguments = parse(argc, argv);
    if (arguments.shape == "-h" || arguments.shape == "--help") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
    shape = shapeFor(arguments, out);
  } catch (const BadArguments& bad) {
    std::fprintf(stderr, "hlmake: %s\n\n%s", bad.message.c_str(), kUsage);
    return kExitBadArguments;
  }

  const auto started = std::chrono::steady_clock::now();
  hl::Status status = hl::write::writePackage(shape.tree, shape.options, out);
  if (status.ok() && arguments.tree) status = hl::write::writeTree(shape.tree, *arguments.tree);
  if (!status.ok()) {
    std::fprintf(stderr, "hlmake: %s\n", status.message().c_str());
    return kExitFailed;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
  std::printf("%s\n", summary(shape, out, arguments.tree, elapsed.count()).c_str());
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hlmake: %s\n", e.what());
    return kExitFailed;
  }
}
