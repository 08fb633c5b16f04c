// Info: a box about the selected entry, with the description and file version read from a
// copy of the item.
#include "actions/form2.h"
#include "actions/item_info.h"
#include "actions/item_names.h"
#include "actions/private_folder.h"
#include "actions/version_reader.h"
#include "resources/texts.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/wait.h"
#include "ui/dialogs.h"
#include "ui/form1.h"

namespace vaultpick {

void Form2::mnu9_Click() {
  if (form1_.ListCount() == 0) return;
  ItemFacts facts;
  facts.package = form1_.Text2();
  facts.quote = form1_.Text1();
  facts.item = form1_.ListText();
  facts.listIndex = form1_.ListIndex();
  // With no entry selected there is no item to read (the tool would extract the whole
  // package): both values are then not available.
  if (facts.listIndex >= 0) {
    const PrivateFolder copyFolder(temporaryFolder());
    if (!copyFolder.path().empty()) {
      // Run whatever the package's extension: an NCF's item may still come out.
      Wait(extractCommand(temporaryFolder(), facts.package, copyFolder.path(), facts.item), true);
      if (!form1_.alive()) return;
      const std::wstring copy = copyFolder.path() + L"\\" + itemFileName(facts.item);
      facts.description = GetFileDescription(copy);
      facts.version = GetFileVersionString(copy);
    }
  }
  commonDialog1_.MsgBox(form1_.window(), infoText(facts), text::kInfoTitle, MB_ICONINFORMATION);
}

}  // namespace vaultpick
