// The program's version, the one place it is written.
#pragma once

#define VAULTPICK_VERSION_NUMBERS 1, 0, 0, 0
#define VAULTPICK_VERSION_TEXT "1.00"
