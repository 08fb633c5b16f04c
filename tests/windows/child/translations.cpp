// A library of resources only, for the version reader's tests; see translations.rc.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
