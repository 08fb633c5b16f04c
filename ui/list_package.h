// Opening a package: the tool lists it into the list file, and the list file fills List1.
#pragma once

#include <string>

namespace vaultpick {

class Form1;

// Lists the package named in Form1's Text2 into its List1 (appending; the caller clears).
void ListPackage(Form1& form);

// Appends the entries of the list file at `ListPath` to Form1's List1, then deletes the list
// file. False when there was no list file to read.
bool ListGCFs(Form1& form, const std::wstring& ListPath);

}  // namespace vaultpick
