// RegMyFiles, the start-up object.
#include "controls/control_libraries.h"
#include "startup/reg_my_files.h"
#include "toolbridge/environment.h"
#include "ui/form1.h"

namespace vaultpick {

bool RegMyFiles_Form_Load(HINSTANCE instance, Form1& form1, ControlLibraries& controls,
                          const std::wstring& commandText, const StartRegistration& start) {
  // Before Form1 exists, whose progress bar and dialogs come from these libraries. A system
  // folder that cannot be written does not stop the program: load() then takes private copies.
  const std::wstring system32 = systemFolder();
  RegFiles(system32, controls::kComctlLibrary, start);
  RegFiles(system32, controls::kComdlgLibrary, start);
  controls.load(system32, temporaryFolder());

  if (!form1.Load(instance, commandText)) return false;
  form1.Show();
  return true;
}

}  // namespace vaultpick
