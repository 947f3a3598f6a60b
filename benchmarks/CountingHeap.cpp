// Counts the calling thread's heap allocations (malloc, calloc, realloc), for the benchmarks'
// allocations-per-operation column. Replaces the C runtime heap functions of the process (glibc),
// at the cost of one thread-local increment.
#include "CountingHeap.h"
#include "support/LibcHeap.h"

#if defined(__GLIBC__)

namespace {
thread_local std::size_t t_allocations = 0;
}

extern "C" void* malloc(std::size_t size) {
    ++t_allocations;
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size) {
    ++t_allocations;
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, std::size_t size) {
    ++t_allocations;
    return __libc_realloc(pointer, size);
}

extern "C" void free(void* pointer) {
    __libc_free(pointer);
}

std::size_t AllocationsSoFar() {
    return t_allocations;
}

#else

std::size_t AllocationsSoFar() {
    return 0;
}

#endif
