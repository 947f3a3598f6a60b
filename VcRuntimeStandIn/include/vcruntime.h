// Stand-in for the VC runtime's base header: the types, macros and declarations that the UCRT
// and STL headers expect from it, with the values Visual Studio 2022 gives them.
#pragma once
#define _VCRUNTIME_H

#include <sal.h>
#include <vadefs.h>

#define _VCRT_COMPILER_PREPROCESSOR 1
#define _CRT_PACKING 8
#pragma pack(push, _CRT_PACKING)

#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING)) extern "C" {
#define _CRT_END_C_HEADER \
    }                     \
    __pragma(pack(pop))
#ifndef __cplusplus
#undef _CRT_BEGIN_C_HEADER
#undef _CRT_END_C_HEADER
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING))
#define _CRT_END_C_HEADER __pragma(pack(pop))
#endif

#ifndef _VCRTIMP
#define _VCRTIMP __declspec(dllimport)
#endif
#ifndef _CRTIMP
#define _VCRT_DEFINED_CRTIMP
#define _CRTIMP __declspec(dllimport)
#endif
#define __CRTDECL __cdecl
#define __CLR_OR_THIS_CALL
#define __CLRCALL_OR_CDECL __cdecl
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CLRCALL_PURE_OR_STDCALL __stdcall
#ifndef _CRTIMP2
#define _CRTIMP2
#endif
#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator)
#define _VCRT_JIT_INTRINSIC
#define _VCRT_ALIGN(x) __declspec(align(x))
#define _CRT_ALIGN(x) __declspec(align(x))
#define _CRTALLOCATOR __declspec(allocator)
#define _CRTRESTRICT __declspec(restrict)
#define _CRT_HYBRIDPATCHABLE
#define _CRT_GUARDOVERFLOW
#define _CRT_SECURITYCRITICAL_ATTRIBUTE
#define _CRT_SECURITYSAFECRITICAL_ATTRIBUTE
#define _CONST_RETURN const
#define _CRT_UNUSED(x) (void)x
#define _CRT_NOEXCEPT noexcept

#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_APPEND(a, b) _CRT_CONCATENATE(a, b)
#define _CRT_UNPARENTHESIZE_(...) __VA_ARGS__
#define _CRT_UNPARENTHESIZE(...) _CRT_UNPARENTHESIZE_ __VA_ARGS__

#define _CRT_DEPRECATE_TEXT(text) __declspec(deprecated(text))
#if defined(_CRT_SECURE_NO_DEPRECATE) && !defined(_CRT_SECURE_NO_WARNINGS)
#define _CRT_SECURE_NO_WARNINGS
#endif
#ifdef _CRT_SECURE_NO_WARNINGS
#define _CRT_INSECURE_DEPRECATE(replacement)
#define _CRT_INSECURE_DEPRECATE_MEMORY(replacement)
#else
#define _CRT_INSECURE_DEPRECATE(replacement)                                                    \
    _CRT_DEPRECATE_TEXT("This function or variable may be unsafe. Consider using " #replacement \
                        " instead. To disable deprecation, use _CRT_SECURE_NO_WARNINGS.")
#define _CRT_INSECURE_DEPRECATE_MEMORY(replacement)
#endif

#ifdef __cplusplus
#define _HAS_EXCEPTIONS 1
#ifndef _HAS_CXX17
#if _MSVC_LANG > 201402L
#define _HAS_CXX17 1
#else
#define _HAS_CXX17 0
#endif
#endif
#ifndef _HAS_CXX20
#if _HAS_CXX17 && _MSVC_LANG > 201703L
#define _HAS_CXX20 1
#else
#define _HAS_CXX20 0
#endif
#endif
#ifndef _HAS_CXX23
#define _HAS_CXX23 0
#endif
#define _HAS_NODISCARD 1
#define _NODISCARD [[nodiscard]]
#define _CRT_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define _CRT_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned __int64 size_t;
typedef __int64 ptrdiff_t;
typedef __int64 intptr_t;
#ifndef __cplusplus
typedef unsigned short wchar_t;
#endif

extern unsigned __int64 __security_cookie;
void __cdecl __security_init_cookie(void);
void __cdecl __security_check_cookie(unsigned __int64 cookie);
__declspec(noreturn) void __cdecl __report_gsfailure(unsigned __int64 cookie);

#ifdef __cplusplus
}

// The array-size helpers the secure C functions' templates use.
extern "C++" {
template <typename T, size_t N>
char (*__countof_helper(T (&)[N]))[N];
}
#define __crt_countof(a) (sizeof(*__countof_helper(a)) + 0)
#else
#define __crt_countof(a) (sizeof(a) / sizeof(a[0]))
#endif
#define _countof __crt_countof

#ifdef __cplusplus
#define _CRT_SECURE_CPP_OVERLOAD_STANDARD_NAMES 0
#endif

#pragma pack(pop)
