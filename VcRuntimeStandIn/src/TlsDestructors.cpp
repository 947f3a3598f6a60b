// Destructors of thread_local objects (__tlregdtor, which the compiler calls once it built one),
// run on each thread as it ends and on the unloading thread when the binary unloads, the last
// built first. Linked only into binaries that have such objects; the shipped DLLs must not.
#include <stdlib.h>
#include <windows.h>

#pragma section(".CRT$XLD", long, read)

namespace {

using ThreadDtor = void(__cdecl*)();

// A thread's destructors in blocks: the first in its thread-local storage, more on the heap as
// the thread builds more objects, each block pointing to the one before.
constexpr int k_block_size = 32;
struct DtorBlock {
    DtorBlock* older;
    ThreadDtor dtors[k_block_size];
};
thread_local DtorBlock t_first;
thread_local DtorBlock* t_newest;  // null: t_first
thread_local int t_used;           // in the newest block

DtorBlock& Newest() {
    return t_newest != nullptr ? *t_newest : t_first;
}

void NTAPI run_thread_dtors(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_THREAD_DETACH && reason != DLL_PROCESS_DETACH) {
        return;
    }
    for (;;) {
        DtorBlock& block = Newest();
        if (t_used > 0) {
            block.dtors[--t_used]();
        } else if (&block != &t_first) {
            t_newest = block.older;
            t_used = k_block_size;
            free(&block);
        } else {
            return;
        }
    }
}

}  // namespace

extern "C" {
__declspec(allocate(".CRT$XLD")) PIMAGE_TLS_CALLBACK __dyn_tls_dtor_callback = run_thread_dtors;

// Registers the destructor of a thread_local object the calling thread has just built. Returns
// -1, and the object is not destroyed, when memory for another block runs out.
int __cdecl __tlregdtor(ThreadDtor dtor) {
    if (t_used == k_block_size) {
        auto* block = static_cast<DtorBlock*>(malloc(sizeof(DtorBlock)));
        if (block == nullptr) {
            return -1;
        }
        block->older = t_newest;
        t_newest = block;
        t_used = 0;
    }
    Newest().dtors[t_used++] = dtor;
    return 0;
}
}
