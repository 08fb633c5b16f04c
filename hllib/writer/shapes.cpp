// The named shapes. hlmake's are deterministic so that two runs with the same arguments write
// the same package and benchmarks compare like with like.
#include "shapes.h"

#include <cstdio>

namespace hl::write {
namespace {

// A cheap scramble of a file's number into its size.
uint32_t spread(uint32_t i, uint32_t range) { return ((i + 1) * 2654435761u >> 7) % range; }

std::string numbered(const char* prefix, uint32_t number, int digits, const char* suffix = "") {
  char text[64];
  std::snprintf(text, sizeof text, "%s%0*u%s", prefix, digits, number, suffix);
  return text;
}

uint64_t usedBlocks(const Node& node, uint32_t blockSize) {
  if (node.isFile) return (uint64_t{node.content.size} + blockSize - 1) / blockSize;
  uint64_t blocks = 0;
  for (const Node& child : node.children) blocks += usedBlocks(child, blockSize);
  return blocks;
}

// Scattered blocks with about one free block in twenty among them, as a long-used cache has.
void fragment(Shape& shape) {
  shape.options.placement = Placement::Scattered;
  shape.options.freeBlocks =
      static_cast<uint32_t>(usedBlocks(shape.tree, shape.options.blockSize) / 20 + 2);
  shape.name = "scattered, " + std::to_string(shape.options.freeBlocks) + " free blocks";
}

const char kReadme[] =
    "Vaultpick demo package\r\n"
    "======================\r\n"
    "\r\n"
    "This game cache was made by hlmake to show what Vaultpick does. It holds a\r\n"
    "made-up map with its materials, sounds and configuration files.\r\n"
    "\r\n"
    "Things to try:\r\n"
    "  - open the folders and look at the files and their sizes;\r\n"
    "  - extract a single file, a folder, or the whole package;\r\n"
    "  - validate the package: every file's checksums match;\r\n"
    "  - defragment it: its blocks are deliberately scattered.\r\n"
    "\r\n"
    "cfg\\config.cfg is empty on purpose.\r\n";

Node demoTree() {
  return Node::folder(
      "",
      {
          Node::file("readme.txt", Content::text(kReadme)),
          Node::folder(
              "cfg",
              {
                  Node::file("autoexec.cfg", Content::text("// Runs when the game starts\r\n"
                                                           "sensitivity 2.5\r\n"
                                                           "cl_showfps 1\r\n"
                                                           "bind \"F5\" \"screenshot\"\r\n")),
                  Node::file("config.cfg", Content::bytes({})),
              }),
          Node::folder("maps",
                       {
                           Node::file("de_vault.bsp", Content::pattern(180000, 1)),
                           Node::file("de_vault.nav", Content::pattern(12000, 2)),
                           Node::file("mapcycle.txt", Content::text("de_vault\r\n")),
                       }),
          Node::folder(
              "materials",
              {
                  Node::folder(
                      "concrete",
                      {
                          Node::file(
                              "wall01.vmt",
                              Content::text("\"LightmappedGeneric\"\r\n{\r\n"
                                            "\t\"$basetexture\" \"concrete/wall01\"\r\n}\r\n")),
                          Node::file("wall01.vtf", Content::pattern(43690, 3)),
                      }),
                  Node::folder("metal",
                               {
                                   Node::file("floor02.vmt",
                                              Content::text(
                                                  "\"LightmappedGeneric\"\r\n{\r\n"
                                                  "\t\"$basetexture\" \"metal/floor02\"\r\n}\r\n")),
                                   Node::file("floor02.vtf", Content::pattern(21845, 4)),
                               }),
              }),
          Node::folder(
              "sound",
              {
                  Node::folder("ambient", {Node::file("wind.wav", Content::pattern(96000, 5))}),
                  Node::folder("ui", {Node::file("click.wav", Content::pattern(3000, 6))}),
              }),
      });
}

}  // namespace

Shape demo() {
  Shape shape;
  shape.tree = demoTree();
  shape.options.cacheId = 4242;
  shape.options.cacheVersion = 3;
  shape.options.placement = Placement::Scattered;
  shape.options.seed = 2004;
  shape.options.freeBlocks = 3;
  shape.options.blocksPerFragment = 8;  // the map and the wind sound get several block entries
  shape.name = "scattered, 3 free blocks";
  return shape;
}

Shape files(uint32_t count, bool fragmented) {
  constexpr uint32_t kPerFolder = 1000;
  Shape shape;
  shape.options.blockSize = 1024;
  shape.name = "sequential";
  for (uint32_t i = 0; i < count; ++i) {
    if (i % kPerFolder == 0)
      shape.tree.children.push_back(Node::folder(numbered("folder", i / kPerFolder, 4)));
    shape.tree.children.back().children.push_back(
        Node::file(numbered("file", i, 7, ".dat"), Content::pattern(200 + spread(i, 2801), i + 1)));
  }
  if (fragmented) fragment(shape);
  return shape;
}

Shape bytes(uint32_t mebibytes, bool fragmented) {
  constexpr uint32_t kMiB = 1u << 20;
  Shape shape;
  shape.name = "sequential";
  // 16 files to a set and 16 sets to a group; sizes vary by +-32 KiB around 1 MiB.
  for (uint32_t i = 0; i < mebibytes; ++i) {
    if (i % 256 == 0) shape.tree.children.push_back(Node::folder(numbered("group", i / 256, 3)));
    Node& group = shape.tree.children.back();
    if (i % 16 == 0) group.children.push_back(Node::folder(numbered("set", i / 16 % 16, 2)));
    const uint32_t size = kMiB - 32768 + spread(i, 65536);
    group.children.back().children.push_back(
        Node::file(numbered("blob", i, 6, ".bin"), Content::pattern(size, i + 1)));
  }
  if (fragmented) fragment(shape);
  return shape;
}

Shape ncf(const std::filesystem::path& contentRoot) {
  Shape shape;
  shape.tree = demoTree();
  shape.options.type = hl::PackageType::Ncf;
  shape.options.formatVersion = 1;
  shape.options.cacheId = 4243;
  shape.options.cacheVersion = 3;
  shape.options.ncfContentRoot = contentRoot;
  shape.name = "files below " + contentRoot.string();
  return shape;
}

Options gcfLayout(Placement placement, uint32_t blockSize, uint32_t blocksPerFragment,
                  uint32_t freeBlocks, uint32_t formatVersion) {
  Options options;
  options.placement = placement;
  options.blockSize = blockSize;
  options.blocksPerFragment = blocksPerFragment;
  options.freeBlocks = freeBlocks;
  options.formatVersion = formatVersion;
  return options;
}

Options ncfLayout(const std::filesystem::path& contentRoot) {
  Options options;
  options.type = PackageType::Ncf;
  options.formatVersion = 1;
  options.ncfContentRoot = contentRoot;
  return options;
}

Node mixedTree(uint32_t blockSize) {
  return Node::folder(
      "", {
              Node::file("readme.txt", Content::text("Welcome to the package.\r\n")),
              Node::file("empty.dat", Content::bytes({})),
              Node::folder(
                  "maps",
                  {
                      Node::file("arena01.bsp", Content::pattern(blockSize * 3 + 17, 1)),
                      Node::folder("sub",
                                   {
                                       Node::file("deep.txt", Content::pattern(blockSize - 1, 2)),
                                       Node::file("exact.bin", Content::pattern(blockSize, 3)),
                                   }),
                      Node::folder("empty folder"),
                  }),
              Node::folder("sound",
                           {
                               Node::file("big.wav", Content::pattern(70000, 4)),
                               Node::file("one.byte", Content::pattern(1, 5)),
                           }),
              Node::file("name with spaces, commas.txt", Content::pattern(100, 6)),
          });
}

Node manyFilesTree(uint32_t count, uint32_t perFolder) {
  Node root = Node::folder("");
  for (uint32_t i = 0; i < count; ++i) {
    if (i % perFolder == 0)
      root.children.push_back(Node::folder("dir" + std::to_string(i / perFolder)));
    root.children.back().children.push_back(
        Node::file("file" + std::to_string(i) + ".txt", Content::pattern(1 + (i * 37) % 300, i)));
  }
  return root;
}

Node smallTree(uint32_t blockSize) {
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

std::vector<Shape> formatShapes(const Node& tree, uint32_t blockSize) {
  struct Layout {
    const char* name;
    uint32_t version;
    Placement placement;
    uint32_t blocksPerFragment, freeBlocks;
  };
  static const Layout kLayouts[] = {
      {"gcf6-sequential", 6, Placement::Sequential, 0, 0},
      {"gcf6-scattered", 6, Placement::Scattered, 2, 3},
      {"gcf6-reversed", 6, Placement::Reversed, 1, 1},
      {"gcf6-interleaved", 6, Placement::Interleaved, 0, 2},
      {"gcf5-sequential", 5, Placement::Sequential, 0, 0},
      {"gcf5-scattered", 5, Placement::Scattered, 1, 2},
      {"gcf3-sequential", 3, Placement::Sequential, 0, 0},
      {"gcf3-interleaved", 3, Placement::Interleaved, 2, 1},
  };
  std::vector<Shape> shapes;
  for (const Layout& layout : kLayouts)
    shapes.push_back({tree,
                      gcfLayout(layout.placement, blockSize, layout.blocksPerFragment,
                                layout.freeBlocks, layout.version),
                      layout.name});
  shapes.push_back({tree, ncfLayout(), "ncf1"});
  return shapes;
}

}  // namespace hl::write
