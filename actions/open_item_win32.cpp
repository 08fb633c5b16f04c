// Shell Execute File: the selected entry opened with the application the desktop associates
// with it, from a copy that is removed once that application has ended.
#include "actions/item_names.h"
#include "actions/private_folder.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/wait.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/form2.h"

namespace vaultpick {

void Form2::mnu8_Click() {
  if (form1_.ListCount() == 0) return;
  if (isNcfPackage(form1_.Text2())) return;
  const std::wstring item = form1_.ListText();
  const PrivateFolder copyFolder(temporaryFolder());
  if (copyFolder.path().empty()) return;
  Wait(extractCommand(temporaryFolder(), form1_.Text2(), copyFolder.path(), item), true);
  if (!form1_.alive()) return;
  // No entry selected names the copy folder itself.
  commonDialog1_.ShellExecuteWait(window_, L"open", copyFolder.path() + L"\\" + itemFileName(item),
                                  L"", L"", SW_SHOWNORMAL);
}

}  // namespace vaultpick
