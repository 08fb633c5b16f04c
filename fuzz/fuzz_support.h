// Shared parts of the fuzz harnesses: a per-process scratch folder, the input opened in memory
// or written to a file there, and a walk that touches everything an open package has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "package.h"

namespace fuzz_support {

// Inputs past this are skipped: packages this size already reach every structure, and bigger
// ones only slow the search down.
constexpr size_t kMaxInput = 1 << 20;

// This process's scratch folder, made on first use and removed when the process exits.
const std::filesystem::path& scratch();

// Empties `folder` (made if missing), so no run sees what an earlier one left.
void resetFolder(const std::filesystem::path& folder);

// Writes the input to `name` in the scratch folder and returns its path: for defragmentation,
// which works on a file.
std::filesystem::path writeInput(const uint8_t* data, size_t size, const char* name);

// Opens the package at `path`, or the input's bytes in memory, with an empty content root for
// NCF packages; null when refused.
std::unique_ptr<hl::Package> openPackage(const std::filesystem::path& path);
std::unique_ptr<hl::Package> openPackage(const uint8_t* data, size_t size);

// Every item's path, lookup by that path, parent and file facts, as a listing would use them.
void listEverything(const hl::Package& package);

// Aborts the run (so libFuzzer reports it) when `folder` holds anything but plain files and
// folders, i.e. when extraction followed or made a link out of it.
void checkOnlyPlainEntries(const std::filesystem::path& folder);

}  // namespace fuzz_support
