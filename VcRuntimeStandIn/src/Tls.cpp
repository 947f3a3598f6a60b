// Thread-local storage: the TLS directory the loader reads (for each thread, including the ones
// that exist when a DLL loads, it copies the .tls section into a fresh block) and the dynamic
// initialisers of thread_local objects, run on each thread as it starts and, on the loading
// thread, once the binary's static objects are built. Threads that were running before a DLL
// loaded get no initialisers run: the build refuses such objects in the DLLs it ships (README).
#include "Runtime.h"

#include <windows.h>

#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLC", long, read)
#pragma section(".CRT$XLZ", long, read)
#pragma section(".CRT$XDA", long, read)
#pragma section(".CRT$XDZ", long, read)

using ThreadInit = void(__cdecl*)();

extern "C" {
ULONG _tls_index = 0;
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;
// The TLS callbacks: .CRT$XLC the initialisers below, .CRT$XLD the destructors
// (TlsDestructors.cpp, linked where a thread_local object has one).
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
// Whether this thread ran the initialisers already.
thread_local bool t_initialised = false;
}  // namespace

void velo_thread_locals_start() {
    if (t_initialised) {
        return;
    }
    t_initialised = true;
    for (ThreadInit* init = &__xd_a + 1; init != &__xd_z; ++init) {
        if (*init) {
            (*init)();
        }
    }
}

extern "C" {
// The loader calls it for the loading thread before the entry point, when the binary's static
// objects are not built yet: the start-up code runs that thread's initialisers after them.
void NTAPI __dyn_tls_init(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_ATTACH) {
        velo_thread_locals_start();
    }
}

__declspec(allocate(".CRT$XLC")) PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = __dyn_tls_init;
}
