// Files dropped on Form1: the first package among them opens as Open would open it.
#include <windows.h>

#include "actions/item_names.h"
#include "ui/form1.h"
#include "ui/list_package.h"

namespace vaultpick {

void Form1::Form_DropFiles(const std::vector<std::wstring>& files) {
  // Only when Open could be pressed: not while a command has the window locked.
  if (!IsWindowEnabled(command1_)) return;
  for (const std::wstring& file : files) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (!hasPackageExtension(file) || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
      continue;
    SendMessageW(list1_, LB_RESETCONTENT, 0, 0);
    setText2(file);
    ListPackage(*this);
    return;
  }
}

}  // namespace vaultpick
