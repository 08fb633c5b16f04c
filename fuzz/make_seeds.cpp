// Writes the fuzzers' seed packages with our writer: every format and layout of a small tree,
// with small blocks so that each seed stays a few KiB.
#include <cstdio>
#include <filesystem>
#include <string>

#include "shapes.h"

namespace fs = std::filesystem;
using hl::write::Node;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <folder>\n");
    return 2;
  }
  const fs::path folder = argv[1];
  fs::create_directories(folder);
  int failures = 0;
  auto write = [&](const hl::write::Shape& shape, const fs::path& target) {
    hl::Status status = hl::write::writePackage(shape.tree, shape.options, target);
    if (!status.ok()) {
      std::fprintf(stderr, "%s: %s\n", target.c_str(), status.message().c_str());
      ++failures;
    }
  };
  for (uint32_t blockSize : {64u, 256u}) {
    for (const hl::write::Shape& shape :
         hl::write::formatShapes(hl::write::smallTree(blockSize), blockSize)) {
      const bool ncf = shape.options.type == hl::PackageType::Ncf;
      write(shape,
            folder / (shape.name + "-" + std::to_string(blockSize) + (ncf ? ".ncf" : ".gcf")));
    }
  }
  // The smallest package there is: a root and nothing else.
  write({Node::folder(""), {}, "empty"}, folder / "empty.gcf");
  return failures == 0 ? 0 : 1;
}
