// glibc's own heap functions, for replacements of malloc and its kin that count or fail
// allocations and then forward to the real ones.
#pragma once

#include <cstddef>

#if defined(__GLIBC__)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);
}
#endif
