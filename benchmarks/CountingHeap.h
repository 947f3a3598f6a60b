#pragma once

#include <cstddef>

// Heap allocations made by the calling thread since it started (0 where they cannot be counted).
std::size_t AllocationsSoFar();
