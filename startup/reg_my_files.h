// RegMyFiles, the start-up object: loaded first, never shown; it brings up Form1.
#pragma once

#include <windows.h>

#include <string>

namespace vaultpick {

class Form1;

// Loads Form1 with the program's command-line text and shows it. False when the window could
// not be made (the program then ends).
bool RegMyFiles_Form_Load(HINSTANCE instance, Form1& form1, const std::wstring& commandText);

}  // namespace vaultpick
