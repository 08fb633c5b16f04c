// Resource ids of vaultpick.exe. 100-199: icons; 200-299: menu bitmaps. The carried files
// (type "CUSTOM") go by their names.
#pragma once

#define IDI_VAULTPICK 100
