// Symbol visibility of the library's C interface (a DLL on Windows, a shared object elsewhere),
// and its calling convention.
#pragma once

#if defined(_WIN32)
#if defined(HLLIB_BUILDING)
#define HLLIB_API __declspec(dllexport)
#else
#define HLLIB_API __declspec(dllimport)
#endif
#else
#define HLLIB_API __attribute__((visibility("default")))
#endif

// Written out, so that a caller compiled with another default (stdcall, say) still calls the
// functions and is called back right.
#if defined(_WIN32)
#define HLLIB_CALL __cdecl
#else
#define HLLIB_CALL
#endif
