// Stand-in for the VC runtime's memory and string functions (vcruntime140.dll exports them).
#pragma once
#include <vcruntime.h>

#ifdef __cplusplus
extern "C" {
#endif
_VCRTIMP void const* __cdecl memchr(void const* buffer, int value, size_t count);
int __cdecl memcmp(void const* a, void const* b, size_t size);
void* __cdecl memcpy(void* destination, void const* source, size_t size);
_VCRTIMP void* __cdecl memmove(void* destination, void const* source, size_t size);
void* __cdecl memset(void* destination, int value, size_t size);
_VCRTIMP char const* __cdecl strchr(char const* text, int character);
_VCRTIMP char const* __cdecl strrchr(char const* text, int character);
_VCRTIMP char const* __cdecl strstr(char const* text, char const* sub);
_VCRTIMP wchar_t const* __cdecl wcschr(wchar_t const* text, wchar_t character);
_VCRTIMP wchar_t const* __cdecl wcsrchr(wchar_t const* text, wchar_t character);
_VCRTIMP wchar_t const* __cdecl wcsstr(wchar_t const* text, wchar_t const* sub);
#ifdef __cplusplus
}
#endif
