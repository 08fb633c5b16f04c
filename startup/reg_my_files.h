// RegMyFiles, the start-up object: loaded first, never shown; it installs the control libraries
// and brings up Form1.
#pragma once

#include <windows.h>

#include <string>

#include "startup/reg_files.h"

namespace vaultpick {

class ControlLibraries;
class Form1;

// Installs COMCTL32.OCX and COMDLG32.OCX into the system folder where they are missing (their
// registrations started through `start`), loads them into `controls` for the program's windows,
// then loads Form1 with the program's command-line text and shows it. False when the window
// could not be made (the program then ends).
bool RegMyFiles_Form_Load(HINSTANCE instance, Form1& form1, ControlLibraries& controls,
                          const std::wstring& commandText, const StartRegistration& start);

}  // namespace vaultpick
