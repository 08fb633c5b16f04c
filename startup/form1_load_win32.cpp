// Form1's start-up work: the tool files, then the command line.
#include "actions/private_folder.h"
#include "association/file_association.h"
#include "startup/command_text.h"
#include "startup/form1_handlers.h"
#include "toolbridge/environment.h"
#include "ui/form1.h"
#include "ui/list_package.h"
#include "win32/files.h"
#include "win32/payload.h"

namespace vaultpick {

void Form_Load(Form1& form1, const std::wstring& commandText) {
  // Written on every start, so the tool always matches this program. A file that cannot be
  // written (a tool of another instance still running) stays and is used.
  Entladen(temporaryFolder(), L"HLExtract.exe");
  Entladen(temporaryFolder(), L"HLLib.dll");
  // Copies that runs which have ended (crashed, killed, shut down) could not remove.
  removePrivateFoldersOfEndedRuns(temporaryFolder());

  const std::wstring argument = trimSpaces(commandText);
  if (argument.empty()) return;
  // The association's switches, only when written exactly so; anything else is a path.
  if (argument == L"-regme") {
    RegMeAsStandard(form1.commonDialog1());
    return;
  }
  if (argument == L"-delmyregs") {
    DelMyRegsStandard(form1.commonDialog1());
    return;
  }
  const std::wstring package = unquotePackageArgument(argument);
  if (!FileExists(trimSpaces(package))) return;
  form1.setText2(package);
  ListPackage(form1);
}

}  // namespace vaultpick
