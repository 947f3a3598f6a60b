// Thread-local storage: the TLS directory the loader reads (for each thread, including the ones
// that exist when a DLL loads, it copies the .tls section into a fresh block), the dynamic
// initialisers of thread_local objects, run on each thread as it starts, and their destructors,
// run on each thread as it ends and on the unloading thread when the binary unloads.
#include <windows.h>

#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLC", long, read)
#pragma section(".CRT$XLD", long, read)
#pragma section(".CRT$XLZ", long, read)
#pragma section(".CRT$XDA", long, read)
#pragma section(".CRT$XDZ", long, read)

using ThreadInit = void(__cdecl*)();
using ThreadDtor = void(__cdecl*)();

extern "C" {
ULONG _tls_index = 0;
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;
__declspec(allocate(".CRT$XLA")) PIMAGE_TLS_CALLBACK __xl_a = nullptr;
__declspec(allocate(".CRT$XLZ")) PIMAGE_TLS_CALLBACK __xl_z = nullptr;
// The compiler puts the dynamic initialisers of thread_local objects in .CRT$XDU.
__declspec(allocate(".CRT$XDA")) ThreadInit __xd_a = nullptr;
__declspec(allocate(".CRT$XDZ")) ThreadInit __xd_z = nullptr;

extern const IMAGE_TLS_DIRECTORY64 _tls_used = {reinterpret_cast<ULONGLONG>(&_tls_start),
                                                reinterpret_cast<ULONGLONG>(&_tls_end),
                                                reinterpret_cast<ULONGLONG>(&_tls_index),
                                                reinterpret_cast<ULONGLONG>(&__xl_a + 1),
                                                0,
                                                {0}};
}

namespace {
// A thread's thread_local objects that have destructors, in order of construction. A binary
// has a handful of them; registering more fails the process at once rather than leak.
constexpr int k_max_thread_dtors = 32;
thread_local ThreadDtor t_dtors[k_max_thread_dtors];
thread_local int t_dtor_count;

void NTAPI run_thread_dtors(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_THREAD_DETACH && reason != DLL_PROCESS_DETACH) {
        return;
    }
    while (t_dtor_count > 0) {
        t_dtors[--t_dtor_count]();
    }
}
}  // namespace

extern "C" {
// Runs the thread_local initialisers on each new thread (and, when the binary loads, on the
// loading thread). The compiler makes every binary with such objects refer to this name.
void NTAPI __dyn_tls_init(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_THREAD_ATTACH && reason != DLL_PROCESS_ATTACH) {
        return;
    }
    for (ThreadInit* init = &__xd_a + 1; init != &__xd_z; ++init) {
        if (*init) {
            (*init)();
        }
    }
}

__declspec(allocate(".CRT$XLC")) PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = __dyn_tls_init;
__declspec(allocate(".CRT$XLD")) PIMAGE_TLS_CALLBACK __dyn_tls_dtor_callback = run_thread_dtors;

// Registers the destructor of a thread_local object the calling thread has just constructed.
int __cdecl __tlregdtor(ThreadDtor dtor) {
    if (t_dtor_count == k_max_thread_dtors) {
        __fastfail(FAST_FAIL_FATAL_APP_EXIT);
    }
    t_dtors[t_dtor_count++] = dtor;
    return 0;
}
}
