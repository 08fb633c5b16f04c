// Files dropped on Form1: the first package among them opens as Open would open it.
#include <windows.h>

#include "actions/item_names.h"
#include "actions/open_dropped.h"
#include "ui/form1.h"
#include "ui/list_package.h"
#include "win32/files.h"

namespace vaultpick {

void Form_DropFiles(Form1& form1, const std::vector<std::wstring>& files) {
  // Only when Open could be pressed: not while a command has the window locked.
  if (!IsWindowEnabled(form1.Command1())) return;
  for (const std::wstring& file : files) {
    const DWORD attributes = GetFileAttributesW(win32Path(file).c_str());
    if (!hasPackageExtension(file) || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
      continue;
    SendMessageW(form1.List1(), LB_RESETCONTENT, 0, 0);
    form1.setText2(file);
    ListPackage(form1);
    return;
  }
}

}  // namespace vaultpick
