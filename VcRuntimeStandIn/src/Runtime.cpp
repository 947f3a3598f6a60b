// The part of the VC runtime that every binary carries itself, shared by DLLs and programs: its
// table of functions to run when it unloads or exits, the initialisers' bounds, thread-safe
// initialisation of function-local statics, operator new and delete, the stack probe, and
// type_info's virtual table.
#include "Runtime.h"

#include <new>
#include <typeinfo>

#include <intrin.h>
#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>
#include <windows.h>

// Bounds of the initialiser tables: the linker sorts the .CRT$X?? sections by name, so the
// compiler's entries (.CRT$XCU, .CRT$XIU) lie between these.
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
extern "C" {
__declspec(allocate(".CRT$XIA")) _PIFV __xi_a[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) _PIFV __xi_z[] = {nullptr};
__declspec(allocate(".CRT$XCA")) _PVFV __xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) _PVFV __xc_z[] = {nullptr};

// Set by the compiler's use of floating point.
int _fltused = 0x9875;
// What a binary compiled with /J (char unsigned) refers to; the UCRT needs nothing more here.
int __do_unsigned_char_lconv_initialization = 0;

// Names that type_info::name() made (an interlocked list), freed at unload.
struct __type_info_node {
    alignas(16) unsigned __int64 header[2];
};
__type_info_node __type_info_root_node{};
}

namespace {
// This binary's own table of functions for atexit: static objects' destructors, run in reverse
// order of registration when the DLL unloads or the program exits.
_onexit_table_t g_onexit;
}  // namespace

extern "C" int __cdecl atexit(_PVFV function) {
    return _register_onexit_function(&g_onexit, reinterpret_cast<_onexit_t>(function)) == 0 ? 0
                                                                                            : -1;
}

extern "C" _onexit_t __cdecl _onexit(_onexit_t function) {
    return _register_onexit_function(&g_onexit, function) == 0 ? function : nullptr;
}

bool velo_runtime_start() {
    __security_init_cookie();
    if (_initialize_onexit_table(&g_onexit) != 0 || _initterm_e(__xi_a, __xi_z) != 0) {
        return false;
    }
    _initterm(__xc_a, __xc_z);
    // Then the loading thread's thread_local objects, which may use the static ones.
    velo_thread_locals_start();
    return true;
}

void velo_runtime_stop() {
    _execute_onexit_table(&g_onexit);
    __std_type_info_destroy_list(&__type_info_root_node);
}

// Thread-safe initialisation of function-local statics, in the protocol the compiler emits: a
// guard is 0 before, -1 during and an epoch number after initialisation; each thread remembers
// the last epoch it has seen, so that a completed guard costs one comparison.
namespace {
constexpr int k_uninitialized = 0;
constexpr int k_being_initialized = -1;
SRWLOCK g_init_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_init_done = CONDITION_VARIABLE_INIT;
}  // namespace

extern "C" {
int _Init_global_epoch = INT_MIN;
thread_local int _Init_thread_epoch = INT_MIN;

void __cdecl _Init_thread_header(int* guard) {
    AcquireSRWLockExclusive(&g_init_lock);
    while (*guard == k_being_initialized) {
        SleepConditionVariableSRW(&g_init_done, &g_init_lock, INFINITE, 0);
    }
    if (*guard == k_uninitialized) {
        *guard = k_being_initialized;
    } else {
        _Init_thread_epoch = _Init_global_epoch;
    }
    ReleaseSRWLockExclusive(&g_init_lock);
}

void __cdecl _Init_thread_footer(int* guard) {
    AcquireSRWLockExclusive(&g_init_lock);
    ++_Init_global_epoch;
    *guard = _Init_global_epoch;
    _Init_thread_epoch = _Init_global_epoch;
    ReleaseSRWLockExclusive(&g_init_lock);
    WakeAllConditionVariable(&g_init_done);
}

void __cdecl _Init_thread_abort(int* guard) {
    AcquireSRWLockExclusive(&g_init_lock);
    *guard = k_uninitialized;
    ReleaseSRWLockExclusive(&g_init_lock);
    WakeAllConditionVariable(&g_init_done);
}
}

// type_info's virtual table, which the compiler's type descriptors point to and no compiler
// emits (type_info has no constructor). Type descriptors are static and never deleted, so its one
// entry, the deleting destructor, does nothing.
namespace {
void* __cdecl type_info_deleting_dtor(void* self, unsigned) {
    return self;
}
}  // namespace
extern "C" const void* const velo_type_info_vftable[1] = {
    reinterpret_cast<const void*>(&type_info_deleting_dtor)};
#pragma comment(linker, "/alternatename:??_7type_info@@6B@=velo_type_info_vftable")

// The stack probe for frames larger than a page: touches each page from the top down so that the
// guard page grows the stack in order. Takes the frame's size in rax and keeps every register.
__asm__(
    ".globl __chkstk\n"
    "__chkstk:\n"
    "    pushq %rcx\n"
    "    pushq %rax\n"
    "    cmpq $0x1000, %rax\n"
    "    leaq 24(%rsp), %rcx\n"
    "    jb 1f\n"
    "2:\n"
    "    subq $0x1000, %rcx\n"
    "    testq %rcx, (%rcx)\n"
    "    subq $0x1000, %rax\n"
    "    cmpq $0x1000, %rax\n"
    "    ja 2b\n"
    "1:\n"
    "    subq %rax, %rcx\n"
    "    testq %rcx, (%rcx)\n"
    "    popq %rax\n"
    "    popq %rcx\n"
    "    retq\n");

// The replaceable allocation functions, over the UCRT's heap, as the VC runtime defines them:
// operator new asks the new handler until it gets memory or the handler gives up.
namespace std {
const nothrow_t nothrow{};
}

void* __cdecl operator new(size_t size) {
    for (;;) {
        if (void* block = malloc(size ? size : 1)) {
            return block;
        }
        if (_callnewh(size) == 0) {
            throw std::bad_alloc();
        }
    }
}

void* __cdecl operator new(size_t size, std::align_val_t al) {
    for (;;) {
        if (void* block = _aligned_malloc(size ? size : 1, static_cast<size_t>(al))) {
            return block;
        }
        if (_callnewh(size) == 0) {
            throw std::bad_alloc();
        }
    }
}

void* __cdecl operator new(size_t size, std::nothrow_t const&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* __cdecl operator new(size_t size, std::align_val_t al, std::nothrow_t const&) noexcept {
    try {
        return operator new(size, al);
    } catch (...) {
        return nullptr;
    }
}

// The compiler asks for the largest size when the element count of a new-expression is negative
// or times the element size overflows; no allocation can have that size. Visual Studio's compiler
// throws std::bad_array_new_length itself in those cases; here the array form does it.
void* __cdecl operator new[](size_t size) {
    if (size == SIZE_MAX) {
        throw std::bad_array_new_length();
    }
    return operator new(size);
}
void* __cdecl operator new[](size_t size, std::align_val_t al) {
    if (size == SIZE_MAX) {
        throw std::bad_array_new_length();
    }
    return operator new(size, al);
}
void* __cdecl operator new[](size_t size, std::nothrow_t const& tag) noexcept {
    return operator new(size, tag);
}
void* __cdecl operator new[](size_t size, std::align_val_t al, std::nothrow_t const& tag) noexcept {
    return operator new(size, al, tag);
}

void __cdecl operator delete(void* block) noexcept {
    free(block);
}
void __cdecl operator delete(void* block, size_t) noexcept {
    free(block);
}
void __cdecl operator delete(void* block, std::nothrow_t const&) noexcept {
    free(block);
}
void __cdecl operator delete[](void* block) noexcept {
    free(block);
}
void __cdecl operator delete[](void* block, size_t) noexcept {
    free(block);
}
void __cdecl operator delete[](void* block, std::nothrow_t const&) noexcept {
    free(block);
}
void __cdecl operator delete(void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete(void* block, size_t, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete(void* block, std::align_val_t, std::nothrow_t const&) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete[](void* block, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete[](void* block, size_t, std::align_val_t) noexcept {
    _aligned_free(block);
}
void __cdecl operator delete[](void* block, std::align_val_t, std::nothrow_t const&) noexcept {
    _aligned_free(block);
}
