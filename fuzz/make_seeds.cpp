// Writes the fuzzers' seed packages with our writer: GCF 6, 5 and 3 and NCF 1, laid out in
// order and fragmented, with small blocks so that each seed stays a few KiB.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "writer.h"

namespace {

namespace fs = std::filesystem;
using hl::write::Content;
using hl::write::Node;
using hl::write::Options;
using hl::write::Placement;

// Nested folders, an empty file, files around the block size, one that is encrypted and one
// with only part of its bytes stored.
Node tree(uint32_t blockSize) {
  Node encrypted = Node::file("locked.bin", Content::pattern(blockSize + 5, 4));
  encrypted.extraFlags = 0x100;
  Node partial = Node::file("partial.bin", Content::pattern(blockSize * 2, 5));
  partial.storedBytes = blockSize / 2;
  return Node::folder(
      "", {Node::file("readme.txt", Content::text("seed\r\n")),
           Node::file("empty.dat", Content::bytes({})),
           Node::folder("maps",
                        {Node::file("a.bsp", Content::pattern(blockSize * 3 + 17, 1)),
                         Node::folder("sub", {Node::file("b.txt", Content::pattern(blockSize, 2))}),
                         Node::folder("empty")}),
           Node::file("c.wav", Content::pattern(blockSize - 1, 3)), encrypted, partial});
}

struct Shape {
  const char* name;
  hl::PackageType type;
  uint32_t version;
  Placement placement;
  uint32_t blocksPerFragment;
  uint32_t freeBlocks;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <folder>\n");
    return 2;
  }
  const fs::path folder = argv[1];
  fs::create_directories(folder);
  const Shape shapes[] = {
      {"gcf6-sequential", hl::PackageType::Gcf, 6, Placement::Sequential, 0, 0},
      {"gcf6-scattered", hl::PackageType::Gcf, 6, Placement::Scattered, 2, 3},
      {"gcf6-reversed", hl::PackageType::Gcf, 6, Placement::Reversed, 1, 1},
      {"gcf6-interleaved", hl::PackageType::Gcf, 6, Placement::Interleaved, 0, 2},
      {"gcf5-sequential", hl::PackageType::Gcf, 5, Placement::Sequential, 0, 0},
      {"gcf5-scattered", hl::PackageType::Gcf, 5, Placement::Scattered, 1, 2},
      {"gcf3-sequential", hl::PackageType::Gcf, 3, Placement::Sequential, 0, 0},
      {"gcf3-interleaved", hl::PackageType::Gcf, 3, Placement::Interleaved, 2, 1},
      {"ncf1", hl::PackageType::Ncf, 1, Placement::Sequential, 0, 0},
  };
  int failures = 0;
  for (uint32_t blockSize : {64u, 256u}) {
    for (const Shape& shape : shapes) {
      Options options;
      options.type = shape.type;
      options.formatVersion = shape.version;
      options.blockSize = blockSize;
      options.placement = shape.placement;
      options.blocksPerFragment = shape.blocksPerFragment;
      options.freeBlocks = shape.freeBlocks;
      const fs::path target = folder / (std::string(shape.name) + "-" + std::to_string(blockSize) +
                                        (shape.type == hl::PackageType::Ncf ? ".ncf" : ".gcf"));
      hl::Status status = hl::write::writePackage(tree(blockSize), options, target);
      if (!status.ok()) {
        std::fprintf(stderr, "%s: %s\n", target.c_str(), status.message().c_str());
        ++failures;
      }
    }
  }
  // The smallest package there is: a root and nothing else.
  hl::Status status = hl::write::writePackage(Node::folder(""), Options{}, folder / "empty.gcf");
  if (!status.ok()) {
    std::fprintf(stderr, "empty.gcf: %s\n", status.message().c_str());
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
