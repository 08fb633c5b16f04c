// Symbol visibility of the library's public API: a DLL on Windows, a shared object elsewhere.
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
