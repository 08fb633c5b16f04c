// Finding an item named on the command line or in a job file.
#include "item_lookup.h"

#include <string>

#include "text.h"

namespace hlextract {

uint32_t findItem(const hllib::Package& package, const NativeString& word) {
  std::string path;
  if (!toItemPath(word, path)) return HL_NO_ITEM;  // a character the code page lacks
  std::string head = path.substr(0, 5);
  for (char& c : head)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (head == "root" || head == "root\\" || head == "root/") path.erase(0, head.size());
  return package.find(path);
}

}  // namespace hlextract
