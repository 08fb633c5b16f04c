// Builds GCF (format 6, also 5 and 3) and NCF (format 1) packages from an in-memory tree.
// Used to make test fixtures, the demo package and benchmark packages; file contents are
// produced on demand so that packages of gigabytes are written in a stream.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "package.h"
#include "status.h"

namespace hl::write {

// A file's bytes: its size and a function that fills any range of them.
struct Content {
  uint32_t size = 0;
  std::function<void(uint64_t offset, uint8_t* out, size_t count)> fill;

  static Content bytes(std::vector<uint8_t> data);
  static Content text(const std::string& text);
  // Deterministic pseudo-random bytes: the same (size, seed) always gives the same content.
  static Content pattern(uint32_t size, uint32_t seed);
};

struct Node {
  std::string name;
  bool isFile = false;
  Content content;
  uint32_t extraFlags = 0;   // directory flags beyond the file bit, e.g. encrypted (0x100)
  int64_t storedBytes = -1;  // >= 0 and < size: only that many leading bytes are stored
  std::vector<Node> children;

  static Node file(std::string name, Content content);
  static Node folder(std::string name, std::vector<Node> children = {});
};

// Where files' data blocks go in the data area.
enum class Placement {
  Sequential,   // file after file from block 0, each contiguous: not fragmented
  Scattered,    // every used block at a random free position
  Reversed,     // each file's blocks in descending order
  Interleaved,  // the files' blocks dealt out in turn, one block of each file at a time
};

struct Options {
  PackageType type = PackageType::Gcf;
  uint32_t formatVersion = 6;  // GCF: 6, 5 or 3; NCF: 1
  uint32_t blockSize = 8192;
  Placement placement = Placement::Sequential;
  uint32_t seed = 1;               // drives Scattered placement
  uint32_t blocksPerFragment = 0;  // > 0: a file's data is split into block entries this long
  uint32_t freeBlocks = 0;         // spare data blocks; not Sequential: spread among used ones
  uint32_t leadingFreeBlocks = 0;  // free blocks before the first used one (data past 4 GiB)
  // How free fragmentation map entries read: each the terminator, or (set) a chain from the
  // header's first unused entry through every free block in order, ending in the terminator.
  bool chainFreeBlocks = false;
  uint32_t cacheId = 7;
  uint32_t cacheVersion = 1;
  // NCF only: when set, the files' bytes are written below this folder as they would lie on
  // disk (a file with storedBytes gets only that many bytes).
  std::filesystem::path ncfContentRoot;
  // Accepts item names that extraction refuses (empty, ".", "..", separators, ':', control or
  // wildcard characters, a trailing dot or space, Windows device names), for building hostile
  // packages in tests. Such names are still never written below ncfContentRoot.
  bool allowUnsafeNames = false;
};

// Writes the package for the tree below `root` (whose own name is ignored) to `target`.
Status writePackage(const Node& root, const Options& options, const std::filesystem::path& target);

// Writes the files below `root` as a plain folder tree in `folder` (created if missing; its
// parent must exist), as an NCF's content root holds them: a file with storedBytes gets only
// that many bytes. Benchmarks use it as the unpackaged baseline.
Status writeTree(const Node& root, const std::filesystem::path& folder);

}  // namespace hl::write
