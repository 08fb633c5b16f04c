// Extract File: the selected entry into a folder the user picks.
#include "actions/form2.h"
#include "actions/item_names.h"
#include "resources/texts.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/tool_run.h"
#include "ui/dialogs.h"
#include "ui/form1.h"

namespace vaultpick {

void Form2::mnu2_Click() {
  if (form1_.ListCount() == 0) return;
  if (isNcfPackage(form1_.Text2())) return;
  if (!chooseDestination()) return;
  form1_.setProgressMax(1);
  // The package and the entry as they are now, after the chooser; the tool writes the file
  // under its own name straight into the folder.
  const ToolRun run =
      runTool(extractCommand(temporaryFolder(), form1_.Text2(), DestDir_, form1_.ListText()));
  form1_.setProgressValue(1);
  form1_.setProgressValue(0);
  DestDir_.clear();
  if (form1_.alive())
    reportToolFailure(commonDialog1_, form1_.window(), text::kFileNotExtracted, run);
}

}  // namespace vaultpick
