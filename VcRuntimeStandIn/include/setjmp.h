// Stand-in for the VC runtime's setjmp.h: the x64 jump buffer and setjmp, which clang's
// intrin.h declares against.
#pragma once
#include <vcruntime.h>

#pragma pack(push, _CRT_PACKING)
#ifdef __cplusplus
extern "C" {
#endif
typedef struct _VCRT_ALIGN(16) _SETJMP_FLOAT128 {
    unsigned __int64 Part[2];
} SETJMP_FLOAT128;
typedef SETJMP_FLOAT128 _JBTYPE;
#define _JBLEN 16
typedef _JBTYPE jmp_buf[_JBLEN];
int __cdecl _setjmp(jmp_buf buffer);
#define setjmp(buffer) _setjmp(buffer)
__declspec(noreturn) void __cdecl longjmp(jmp_buf buffer, int value);
#ifdef __cplusplus
}
#endif
#pragma pack(pop)
