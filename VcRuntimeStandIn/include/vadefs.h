// Stand-in for the VC runtime's variable-argument definitions (clang's own vadefs.h includes this
// one and maps the macros onto its built-ins).
#pragma once
#define _INC_VADEFS

#ifdef __cplusplus
extern "C" {
#endif
typedef unsigned __int64 uintptr_t;
typedef char* va_list;
#ifdef __cplusplus
}
#endif

#define __crt_va_start(ap, x) __builtin_va_start(ap, x)
#define __crt_va_arg(ap, t) __builtin_va_arg(ap, t)
#define __crt_va_end(ap) __builtin_va_end(ap)
#define __crt_va_copy(d, s) __builtin_va_copy(d, s)
