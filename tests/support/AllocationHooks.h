// Test hooks on the C runtime heap, for every allocation in the process (the adapter's and the
// core's included): which blocks from calloc are still live, and making the n-th allocation fail.
//
// They replace malloc, calloc, realloc and free in the test executable, which only works where the
// dynamic linker resolves the libraries' heap calls to the executable's definitions (glibc).
// Elsewhere `Available()` is false.
#pragma once

#include <cstddef>

namespace VeloTest {

class AllocationHooks {
  public:
    static bool Available();

    // Starts a window: from now on every calloc'd block is tracked until freed.
    static void BeginWindow();
    static void EndWindow();
    // calloc calls made in the window, and how many of their blocks are still live.
    static std::size_t Callocs();
    static std::size_t LiveCallocs();
    // Allocations of any kind made in the window.
    static std::size_t Allocations();
    // Total of malloc, calloc and realloc calls minus successful frees of blocks from the window.
    static long LiveAllocations();

    // While paused, allocations are neither counted nor tracked; frees still are.
    static void Pause(bool paused);

    // Makes the n-th allocation (1-based) of the window fail, counting malloc, calloc and
    // realloc; 0 turns failing off.
    static void FailAt(std::size_t n);
    static bool Failed();
};

// Tracks callocs for one scope.
class AllocationWindow {
  public:
    AllocationWindow() { AllocationHooks::BeginWindow(); }
    ~AllocationWindow() { AllocationHooks::EndWindow(); }
    AllocationWindow(const AllocationWindow&) = delete;
    AllocationWindow& operator=(const AllocationWindow&) = delete;
};

}  // namespace VeloTest
