// RegMyFiles, the start-up object.
#include "startup/reg_my_files.h"
#include "ui/form1.h"

namespace vaultpick {

bool RegMyFiles_Form_Load(HINSTANCE instance, Form1& form1, const std::wstring& commandText) {
  // The control libraries are installed here, before Form1 exists.
  if (!form1.Load(instance, commandText)) return false;
  form1.Show();
  return true;
}

}  // namespace vaultpick
