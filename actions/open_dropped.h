// Files dropped on Form1 (Form1Handlers::Form_DropFiles).
#pragma once

#include <string>
#include <vector>

namespace vaultpick {

class Form1;

// The first package among the files (.gcf or .ncf, in any case) opens as if chosen with Open;
// anything else changes nothing.
void Form_DropFiles(Form1& form1, const std::vector<std::wstring>& files);

}  // namespace vaultpick
