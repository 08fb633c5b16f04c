// Shell Execute File: the selected entry opened with the application the desktop associates
// with it, from a private copy that stays until the program ends.
#include <memory>

#include "actions/form2.h"
#include "actions/item_names.h"
#include "actions/private_folder.h"
#include "resources/texts.h"
#include "toolbridge/command_lines.h"
#include "toolbridge/environment.h"
#include "toolbridge/tool_run.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "win32/message_pump.h"

namespace vaultpick {

void Form2::mnu8_Click() {
  if (form1_.ListCount() == 0) return;
  if (isNcfPackage(form1_.Text2())) return;
  // No entry selected: there is nothing to open (the tool would extract the whole package).
  if (form1_.ListIndex() < 0) return;
  const std::wstring item = form1_.ListText();
  auto copyFolder = std::make_unique<PrivateFolder>(temporaryFolder());
  if (copyFolder->path().empty()) {
    commonDialog1_.MsgBox(form1_.window(),
                          std::wstring(text::kCantMakeCopyFolder) + L"\r\n" + temporaryFolder(),
                          text::kApplicationTitle, MB_ICONERROR);
    return;
  }
  const ToolRun run =
      runTool(extractCommand(temporaryFolder(), form1_.Text2(), copyFolder->path(), item));
  if (!form1_.alive()) return;
  // The tool's own reason, rather than the shell's complaint about a copy that is not there.
  if (!run.succeeded()) {
    reportToolFailure(commonDialog1_, form1_.window(), text::kFileNotOpened, run);
    return;
  }
  const std::wstring copy = copyFolder->path() + L"\\" + itemFileName(item);
  // The copy outlives the started process: many applications hand the file to an instance of
  // theirs that is already running and end at once, and the shell then reports no process.
  openedCopies_.push_back(std::move(copyFolder));
  const ShellStarted started =
      commonDialog1_.StartShellExecute(window_, L"open", copy, L"", L"", SW_SHOWNORMAL);
  if (!started.process || !form1_.alive()) return;
  // The window goes on answering while the application runs, locked as during a long tool run;
  // closing it ends the wait and leaves the application running.
  lockForm1(true);
  if (waitHandlingMessages(started.process.get()) && form1_.alive()) lockForm1(false);
}

}  // namespace vaultpick
