// Stand-in for the VC runtime's exception-handling declarations.
#pragma once
#include <corecrt_terminate.h>

extern "C" _VCRTIMP int __cdecl __uncaught_exceptions();
extern "C" _VCRTIMP bool __cdecl __uncaught_exception();

#ifdef __cplusplus
extern "C" {
#endif
typedef void(__cdecl* unexpected_handler)(void);
_VCRTIMP unexpected_handler __cdecl set_unexpected(unexpected_handler handler);
_VCRTIMP unexpected_handler __cdecl _get_unexpected(void);
_VCRTIMP __declspec(noreturn) void __cdecl unexpected(void);
#ifdef __cplusplus
}
#endif
