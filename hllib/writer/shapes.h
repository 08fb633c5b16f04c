// Named package shapes, shared by hlmake, the tests and the fuzz seeds: a tree of files and the
// writer options that lay it out. Sizes and contents are deterministic, so the same shape always
// gives the same package.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "writer.h"

namespace hl::write {

struct Shape {
  Node tree = Node::folder("");
  Options options;
  std::string name;  // for listings and summaries, e.g. "gcf6-scattered"
};

// GCF options of one layout; everything else at the writer's defaults.
Options gcfLayout(Placement placement, uint32_t blockSize, uint32_t blocksPerFragment = 0,
                  uint32_t freeBlocks = 0, uint32_t formatVersion = 6);
// NCF (format 1) options; with a content root the files are written below it too.
Options ncfLayout(const std::filesystem::path& contentRoot = {});

// --- hlmake's shapes
// A small, realistic GCF: a few folders of game-like files, real text in readme.txt, an empty
// file and larger files split into several fragments, scattered among a few free blocks.
Shape demo();
// `count` files of 200 to 3000 bytes in folders of 1000, in 1 KiB blocks.
Shape files(uint32_t count, bool fragmented);
// About `mebibytes` MiB in files of about 1 MiB in nested folders, in 8 KiB blocks.
Shape bytes(uint32_t mebibytes, bool fragmented);
// The demo's tree as an NCF, whose files are written below `contentRoot`.
Shape ncf(const std::filesystem::path& contentRoot);

// --- test and seed trees
// Nested folders, an empty folder and file, files of odd sizes around the block size, and a file
// over one checksum chunk (70000 bytes): readme.txt, empty.dat, maps\arena01.bsp,
// maps\sub\deep.txt, maps\sub\exact.bin, maps\empty folder, sound\big.wav, sound\one.byte and
// "name with spaces, commas.txt".
Node mixedTree(uint32_t blockSize);
// `count` small files spread over folders dir0, dir1... of `perFolder` files each.
Node manyFilesTree(uint32_t count, uint32_t perFolder);
// A few KiB: nested folders, an empty file and folder, files around the block size, one
// encrypted (locked.bin) and one with only half a block stored (partial.bin).
Node smallTree(uint32_t blockSize);
// `tree` in every format and layout: GCF 6, 5 and 3 laid out in order and fragmented, NCF 1
// (without a content root). Named like "gcf6-scattered".
std::vector<Shape> formatShapes(const Node& tree, uint32_t blockSize);

}  // namespace hl::write
