// Import/export decoration of the core library's facades.
//
// The core ships as its own shared library (VeloCore.dll / libVeloCore.so). Code that links to it
// sees the facades as imported; the core's own build defines VELO_CORE_BUILD and exports them.
#pragma once

#if defined(_WIN32)
#if defined(VELO_CORE_BUILD)
#define VELO_CORE_API __declspec(dllexport)
#else
#define VELO_CORE_API __declspec(dllimport)
#endif
#else
#define VELO_CORE_API __attribute__((visibility("default")))
#endif
