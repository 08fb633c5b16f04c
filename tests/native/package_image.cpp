// A test-side decoder of written packages: sections in file order, fields little-endian.
#include "package_image.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace package_image {
namespace {

constexpr uint64_t kMaxHead = 64u << 20;

std::vector<uint8_t> readRange(const std::filesystem::path& path, uint64_t offset, size_t count) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::vector<uint8_t> bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  if (static_cast<size_t>(in.gcount()) != count) throw std::out_of_range("read past the file");
  return bytes;
}

class Cursor {
 public:
  explicit Cursor(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint32_t u32() {
    uint32_t value = u32At(bytes_, at_);
    at_ += 4;
    return value;
  }
  std::vector<uint32_t> u32s(uint64_t count) {
    std::vector<uint32_t> values;
    for (uint64_t i = 0; i < count; ++i) values.push_back(u32());
    return values;
  }
  void skip(uint64_t count) { at_ += count; }
  uint64_t at() const { return at_; }

 private:
  const std::vector<uint8_t>& bytes_;
  uint64_t at_ = 0;
};

void readDirectory(Image& image, Cursor& c) {
  image.directoryAt = c.at();
  std::vector<uint32_t> header = c.u32s(14);
  const uint32_t itemCount = header[3];
  image.nameSize = header[7];
  for (uint32_t i = 0; i < itemCount; ++i) {
    std::vector<uint32_t> f = c.u32s(7);
    image.items.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], {}});
  }
  const uint64_t names = c.at();
  c.skip(image.nameSize);
  if (c.at() > image.head.size()) throw std::out_of_range("name table past the end");
  for (Item& item : image.items)
    item.name = reinterpret_cast<const char*>(image.head.data() + names + item.nameOffset);
  c.skip(4ull * (header[8] + itemCount + header[9] + header[10]));  // hash tables, copy tables
}

}  // namespace

uint32_t u32At(const std::vector<uint8_t>& bytes, uint64_t offset) {
  if (offset + 4 > bytes.size()) throw std::out_of_range("read past the package's end");
  const uint8_t* p = bytes.data() + offset;
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void patch(std::vector<uint8_t>& bytes, Patch changes) {
  for (const auto& [offset, value] : changes) {
    u32At(bytes, offset);  // in range
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

void patch(const std::filesystem::path& path, Patch changes) {
  std::vector<uint8_t> bytes = readRange(path, 0, std::filesystem::file_size(path));
  patch(bytes, changes);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

uint32_t Image::itemNamed(const std::string& name) const {
  uint32_t item = 0;
  while (item < items.size() && items[item].name != name) ++item;
  return item;
}

Image decode(const std::filesystem::path& path) {
  Image image;
  image.path = path;
  image.head = readRange(path, 0, std::min(std::filesystem::file_size(path), kMaxHead));
  Cursor c(image.head);
  std::vector<uint32_t> header = c.u32s(11);
  image.cacheType = header[1];
  image.formatVersion = header[2];
  image.blockSize = header[8];
  image.blockCount = header[9];
  const bool gcf = image.cacheType == 1;
  const bool format3 = gcf && image.formatVersion == 3;

  if (gcf) {
    for (uint32_t i = 0, count = c.u32s(8)[0]; i < count; ++i) {
      std::vector<uint32_t> f = c.u32s(7);
      image.entries.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    std::vector<uint32_t> mapHeader = c.u32s(4);
    image.firstUnusedBlock = mapHeader[1];
    image.terminatorField = mapHeader[2];
    image.nextBlock = c.u32s(mapHeader[0]);
    if (image.formatVersion < 6) c.skip(8ull * c.u32s(5)[0]);  // the block entry map
  }
  readDirectory(image, c);
  if (!format3) {
    image.directoryMapHeaderAt = c.at();
    c.skip(8);
  }
  image.directoryMapAt = c.at();
  image.directoryMap = c.u32s(image.items.size());

  image.checksumsAt = c.at();
  std::vector<uint32_t> headers = c.u32s(6);            // the section's, then its map's
  c.skip(8ull * headers[4] + 4ull * headers[5] + 128);  // the map, the checksums, the signature
  if (!format3) c.skip(4);                              // the application version
  if (gcf) {
    image.dataBlockHeaderAt = c.at();
    std::vector<uint32_t> dataHeader = c.u32s(5);
    image.firstBlockOffset = dataHeader[2];
    image.blocksUsed = dataHeader[3];
  }
  image.metadataEnd = c.at();
  return image;
}

std::vector<std::vector<uint32_t>> fileBlocks(const Image& image, uint32_t item) {
  std::vector<std::vector<uint32_t>> fragments;
  const auto none = static_cast<uint32_t>(image.entries.size());
  uint32_t previous = none;
  for (uint32_t e = image.directoryMap.at(item); e != none; e = image.entries.at(e).next) {
    const BlockEntry& entry = image.entries.at(e);
    if (entry.item != item || entry.previous != previous || fragments.size() > none)
      throw std::logic_error("block entry " + std::to_string(e) + " is not linked to its file");
    std::vector<uint32_t> blocks{entry.firstBlock};
    while (uint64_t{blocks.size()} * image.blockSize < entry.size)
      blocks.push_back(image.nextBlock.at(blocks.back()));
    if (image.nextBlock.at(blocks.back()) != image.terminator())
      throw std::logic_error("a fragment's last block does not end its chain");
    fragments.push_back(blocks);
    previous = e;
  }
  return fragments;
}

}  // namespace package_image
