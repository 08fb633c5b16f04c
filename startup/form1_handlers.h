// Form1's handlers from the layers above ui/, as the program hands them to it.
#pragma once

#include <string>

#include "ui/form1.h"

namespace vaultpick {

// Form1's start-up work: writes the tool files, removes ended runs' copy folders, then handles
// -regme or -delmyregs or opens the quoted package path. In startup/form1_load_win32.cpp.
void Form_Load(Form1& form1, const std::wstring& commandText);

// Form_Load above, Form_DropFiles (actions/open_dropped.h) and Form2 (actions/form2.h).
Form1Handlers form1Handlers();

}  // namespace vaultpick
