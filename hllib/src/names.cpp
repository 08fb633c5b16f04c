// Item names that are safe to use as file names.
#include "names.h"

#include <cstring>

namespace hl {
namespace {

bool isDeviceName(std::string_view name) {
  // Windows treats these as devices even with an extension ("nul.txt") or trailing spaces.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  char upper[8] = {};
  if (base.size() > 7) return false;
  for (size_t i = 0; i < base.size(); ++i)
    upper[i] =
        (base[i] >= 'a' && base[i] <= 'z') ? static_cast<char>(base[i] - 'a' + 'A') : base[i];
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices)
    if (std::strcmp(upper, device) == 0) return true;
  bool numbered = base.size() == 4 &&
                  (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0);
  return numbered && upper[3] >= '0' && upper[3] <= '9';
}

}  // namespace

bool isSafeName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || std::strchr("/\\:<>\"|?*", c)) return false;
  }
  if (name.back() == '.' || name.back() == ' ') return false;
  return !isDeviceName(name);
}

}  // namespace hl
