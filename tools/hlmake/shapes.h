// The packages hlmake builds: a tree of files and the writer options that lay it out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "writer.h"

namespace hlmake {

struct Shape {
  hl::write::Node tree = hl::write::Node::folder("");
  hl::write::Options options;
  std::string description;  // for the summary line, e.g. "scattered, 3 free blocks"
};

// A small, realistic GCF: a few folders of game-like files, real text in readme.txt, an empty
// file and larger files split into several fragments, scattered among a few free blocks.
Shape demo();
// `count` files of 200 to 3000 bytes in folders of 1000, in 1 KiB blocks.
Shape files(uint32_t count, bool fragmented);
// About `mebibytes` MiB in files of about 1 MiB in nested folders, in 8 KiB blocks.
Shape bytes(uint32_t mebibytes, bool fragmented);
// The demo's tree as an NCF, whose files are written below `contentRoot`.
Shape ncf(const std::filesystem::path& contentRoot);

}  // namespace hlmake
