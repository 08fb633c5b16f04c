// vaultpick.exe: browses GCF and NCF packages through the HLExtract tool it carries.
#include <windows.h>

#include "controls/control_libraries.h"
#include "startup/command_text.h"
#include "startup/form1_handlers.h"
#include "startup/reg_my_files.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "win32/message_pump.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    // Declared first, so the libraries outlive every window made of them.
    vaultpick::ControlLibraries controls;
    vaultpick::Win32Dialogs dialogs;
    vaultpick::Form1 form1(dialogs, vaultpick::form1Handlers());
    if (!vaultpick::RegMyFiles_Form_Load(instance, form1, controls,
                                         vaultpick::argumentsOf(GetCommandLineW()),
                                         vaultpick::startRegistrar))
      return 1;
    return vaultpick::runMessageLoop();
  } catch (...) {
    return 1;
  }
}
