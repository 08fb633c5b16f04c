// Ready-made file contents and tree nodes for the writer.
#include <algorithm>
#include <cstring>
#include <memory>

#include "split_mix.h"
#include "writer.h"

namespace hl::write {

Content Content::bytes(std::vector<uint8_t> data) {
  // Shared, so that copies of a Node do not copy the bytes.
  auto shared = std::make_shared<const std::vector<uint8_t>>(std::move(data));
  Content content;
  content.size = static_cast<uint32_t>(shared->size());
  content.fill = [shared](uint64_t offset, uint8_t* out, size_t count) {
    std::memcpy(out, shared->data() + offset, count);
  };
  return content;
}

Content Content::text(const std::string& text) {
  return bytes(std::vector<uint8_t>(text.begin(), text.end()));
}

// Byte i is byte (i mod 8) of SplitMix64 value i / 8 of the stream `seed` starts.
Content Content::pattern(uint32_t size, uint32_t seed) {
  Content content;
  content.size = size;
  content.fill = [seed](uint64_t offset, uint8_t* out, size_t count) {
    while (count > 0) {
      const uint64_t word = splitMix64(seed, offset / 8);
      const unsigned skip = static_cast<unsigned>(offset % 8);
      if (skip == 0 && count >= 8) {
        // A fixed count of shifts, which compilers turn into one store: the hot path.
        for (unsigned i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(word >> (8 * i));
        out += 8;
        offset += 8;
        count -= 8;
        continue;
      }
      const size_t n = std::min<size_t>(8 - skip, count);
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(word >> (8 * (skip + i)));
      out += n;
      offset += n;
      count -= n;
    }
  };
  return content;
}

Node Node::file(std::string name, Content content) {
  Node node;
  node.name = std::move(name);
  node.isFile = true;
  node.content = std::move(content);
  return node;
}

Node Node::folder(std::string name, std::vector<Node> children) {
  Node node;
  node.name = std::move(name);
  node.children = std::move(children);
  return node;
}

}  // namespace hl::write
