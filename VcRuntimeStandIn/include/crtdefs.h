// Stand-in for the VC runtime's crtdefs.h: the UCRT's base definitions, and how the STL's headers
// reach the C++ runtime's satellite DLLs (msvcp140_1.dll, msvcp140_2.dll).
#pragma once
#include <corecrt.h>

#ifndef _MRTIMP2
#define _MRTIMP2
#endif
#if defined(_DLL) && !defined(_STATIC_CPPLIB)
#define _CRT_SATELLITE_1 __declspec(dllimport)
#define _CRT_SATELLITE_2 __declspec(dllimport)
#define _CRT_SATELLITE_CODECVT_IDS __declspec(dllimport)
#else
#define _CRT_SATELLITE_1
#define _CRT_SATELLITE_2
#define _CRT_SATELLITE_CODECVT_IDS
#endif
#define _CRT_SATELLITE_CODECVT_IDS_NOIMPORT
