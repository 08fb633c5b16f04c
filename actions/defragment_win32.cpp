// Defragment GCF: the tool rewrites the open package in place while the window is locked.
#include "actions/form2.h"
#include "resources/texts.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/tool_run.h"
#include "ui/dialogs.h"
#include "ui/form1.h"

namespace vaultpick {

void Form2::mnu6_Click() {
  // Without a listed package there is nothing to defragment, whatever Text2 holds. The
  // extension is not looked at: an NCF is handed to the tool like any package.
  if (form1_.ListCount() == 0) return;
  lockForm1(true);
  form1_.setCaption(text::kDefragmentingCaption);
  const ToolRun run = runTool(defragmentCommand(temporaryFolder(), form1_.Text2()));
  lockForm1(false);
  form1_.setCaption(text::kForm1Caption);
  if (form1_.alive())
    reportToolFailure(commonDialog1_, form1_.window(), text::kPackageNotDefragmented, run);
}

}  // namespace vaultpick
