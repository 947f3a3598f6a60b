// Test hooks on the C runtime heap, for every allocation in the process (the adapter's and the
// core's included): which blocks are still live, and making the n-th allocation fail.
//
// They replace malloc, calloc, realloc and free in the test executable, which only works where the
// dynamic linker resolves the libraries' heap calls to the executable's definitions (glibc).
// Elsewhere `Available()` is false.
#pragma once

#include <cstddef>

namespace VeloTest {

// What the current window saw.
struct AllocationCounts {
    std::size_t callocs = 0;      // calloc calls
    std::size_t liveCallocs = 0;  // their blocks still live
    std::size_t allocations = 0;  // malloc, calloc and realloc calls
    long live = 0;                // blocks of the window still live
    bool failed = false;          // the allocation set to fail was reached
};

class AllocationHooks {
  public:
    static bool Available();
    // Starts a window: from now on every allocation is counted and its block tracked until freed.
    static void BeginWindow();
    static void EndWindow();
    static AllocationCounts Counts();
    // While paused, allocations are neither counted nor tracked; frees still are.
    static void Pause(bool paused);
    // Makes the n-th allocation (1-based) of the window fail; 0 turns failing off.
    static void FailAt(std::size_t n);
};

// A window for one scope.
class AllocationWindow {
  public:
    AllocationWindow() { AllocationHooks::BeginWindow(); }
    ~AllocationWindow() { AllocationHooks::EndWindow(); }
    AllocationWindow(const AllocationWindow&) = delete;
    AllocationWindow& operator=(const AllocationWindow&) = delete;
};

}  // namespace VeloTest
