// vaultpick.exe: browses GCF and NCF packages through the HLExtract tool it carries.
#include <windows.h>

#include "startup/command_text.h"
#include "startup/reg_my_files.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/message_pump.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    vaultpick::Win32Dialogs dialogs;
    vaultpick::Form1 form1(dialogs);
    if (!vaultpick::RegMyFiles_Form_Load(instance, form1,
                                         vaultpick::argumentsOf(GetCommandLineW())))
      return 1;
    return vaultpick::runMessageLoop();
  } catch (...) {
    return 1;
  }
}
