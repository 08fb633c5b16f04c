// Finding an item named on the command line or in a job file.
#include "item_lookup.h"

#include <string>

#include "text.h"

namespace hlextract {

hllib::Status findItem(const hllib::Package& package, const NativeString& word, uint32_t& item) {
  item = HL_NO_ITEM;
  std::string path;
  if (!toItemPath(word, path)) return {};  // a character the code page lacks
  std::string head = path.substr(0, 5);
  for (char& c : head)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (head == "root" || head == "root\\" || head == "root/") path.erase(0, head.size());
  hllib::Status status = package.find(path, item);
  return status.code == HL_ITEM_NOT_FOUND ? hllib::Status() : status;
}

}  // namespace hlextract
