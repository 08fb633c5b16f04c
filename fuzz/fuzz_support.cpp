// Shared parts of the fuzz harnesses.
#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

namespace fuzz_support {

namespace fs = std::filesystem;

namespace {

fs::path* scratchPath = nullptr;

void removeScratch() {
  std::error_code ignored;
  if (scratchPath) fs::remove_all(*scratchPath, ignored);
}

}  // namespace

const fs::path& scratch() {
  if (!scratchPath) {
    // One folder per process, so parallel fuzzers and -fork workers never share files.
    scratchPath =
        new fs::path(fs::temp_directory_path() / ("vaultpick-fuzz-" + std::to_string(getpid())));
    std::error_code ignored;
    fs::remove_all(*scratchPath, ignored);
    fs::create_directories(*scratchPath);
    std::atexit(removeScratch);
  }
  return *scratchPath;
}

void resetFolder(const fs::path& folder) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
}

fs::path writeInput(const uint8_t* data, size_t size, const char* name) {
  fs::path path = scratch() / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write the input to %s\n", path.c_str());
    std::abort();
  }
  return path;
}

namespace {

// An opened package with an empty content root for an NCF; null when refused, which must come
// with an error.
std::unique_ptr<hl::Package> prepared(std::unique_ptr<hl::Package> package,
                                      const hl::Status& status) {
  if (!package) {
    if (status.ok() || status.message().empty()) {
      std::fprintf(stderr, "a refused package came without an error\n");
      std::abort();
    }
    return nullptr;
  }
  if (package->type() == hl::PackageType::Ncf) {
    fs::path content = scratch() / "ncf-content";
    resetFolder(content);
    package->setContentRoot(content);
  }
  return package;
}

}  // namespace

std::unique_ptr<hl::Package> openPackage(const fs::path& path) {
  hl::Status status;
  std::unique_ptr<hl::Package> package = hl::Package::open(path, status);
  return prepared(std::move(package), status);
}

std::unique_ptr<hl::Package> openPackage(const uint8_t* data, size_t size) {
  hl::Status status;
  std::unique_ptr<hl::Package> package = hl::Package::openMemory(data, size, status);
  return prepared(std::move(package), status);
}

void listEverything(const hl::Package& package) {
  const uint32_t count = package.itemCount();
  for (uint32_t item = 0; item < count; ++item) {
    package.name(item);
    package.parent(item);
    package.isEncrypted(item);
    package.itemSize(item);
    if (package.isFile(item)) {
      hl::FileInfo info;
      package.inspect(item, info);
    } else {
      uint32_t files = 0;
      package.fileCountBelow(item, files);
    }
  }
  package.walk(hl::kRootItem, '\\', [&](uint32_t item, const std::string& relative) {
    std::string full = package.path(item);
    if (full != relative) {
      std::fprintf(stderr, "item %u: walk says '%s', path says '%s'\n", item, relative.c_str(),
                   full.c_str());
      std::abort();
    }
    // The walk checked the whole tree first: a lookup on it meets no damage.
    uint32_t found = hl::kNoItem;
    if (!package.find(full, found).ok()) {
      std::fprintf(stderr, "item %u: the lookup of '%s' fails in a checked tree\n", item,
                   full.c_str());
      std::abort();
    }
  });
  package.path(hl::kRootItem, '/');
  uint32_t found = hl::kNoItem;
  for (const std::string& path :
       {std::string(), std::string("no\\such/item"), std::string(300, 'a')})
    package.find(path, found);
  package.path(count);  // one past the last item
}

void checkOnlyPlainEntries(const fs::path& folder) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    fs::file_status status = it->symlink_status();
    if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
      std::fprintf(stderr, "extraction made %s, which is neither file nor folder\n",
                   it->path().c_str());
      std::abort();
    }
  }
}

}  // namespace fuzz_support
