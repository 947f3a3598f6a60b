#include "AllocationHooks.h"

#include <atomic>

#include "LibcHeap.h"

#if defined(__GLIBC__) && !defined(VELO_TEST_SANITIZED)

namespace {

// Blocks allocated in the window and not yet freed, in a table that needs no allocation itself.
constexpr std::size_t kSlots = 1 << 16;
struct Slot {
    void* pointer;
    bool fromCalloc;
};
Slot g_slots[kSlots];
std::size_t g_used = 0;
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
bool g_window = false;
bool g_paused = false;
std::size_t g_failAt = 0;
VeloTest::AllocationCounts g_counts;

class Lock {
  public:
    Lock() {
        while (g_lock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~Lock() { g_lock.clear(std::memory_order_release); }
};

// Counts one allocation of the window; false when it is the one to fail.
bool Admit(bool calloc) {
    if (!g_window || g_paused) {
        return true;
    }
    g_counts.callocs += calloc ? 1 : 0;
    if (++g_counts.allocations == g_failAt) {
        g_counts.failed = true;
        return false;
    }
    return true;
}

void Remember(void* pointer, bool fromCalloc) {
    if (g_window && !g_paused && pointer != nullptr && g_used < kSlots) {
        g_slots[g_used++] = {pointer, fromCalloc};
        ++g_counts.live;
        g_counts.liveCallocs += fromCalloc ? 1 : 0;
    }
}

// Forgets `pointer` if the window allocated it.
void Forget(void* pointer) {
    for (std::size_t i = 0; g_window && pointer != nullptr && i < g_used; ++i) {
        if (g_slots[i].pointer == pointer) {
            --g_counts.live;
            g_counts.liveCallocs -= g_slots[i].fromCalloc ? 1 : 0;
            g_slots[i] = g_slots[--g_used];
            return;
        }
    }
}

}  // namespace

extern "C" void* malloc(std::size_t size) {
    Lock lock;
    void* pointer = Admit(false) ? __libc_malloc(size) : nullptr;
    Remember(pointer, false);
    return pointer;
}

extern "C" void* calloc(std::size_t count, std::size_t size) {
    Lock lock;
    void* pointer = Admit(true) ? __libc_calloc(count, size) : nullptr;
    Remember(pointer, true);
    return pointer;
}

extern "C" void* realloc(void* pointer, std::size_t size) {
    Lock lock;
    if (size != 0 && !Admit(false)) {
        return nullptr;
    }
    void* moved = __libc_realloc(pointer, size);
    if (moved != nullptr || size == 0) {
        Forget(pointer);
        Remember(moved, false);
    }
    return moved;
}

extern "C" void free(void* pointer) {
    Lock lock;
    Forget(pointer);
    __libc_free(pointer);
}

namespace VeloTest {

bool AllocationHooks::Available() {
    return true;
}

void AllocationHooks::BeginWindow() {
    Lock lock;
    g_used = 0;
    g_window = true;
    g_counts = {};
    g_failAt = 0;
}

void AllocationHooks::EndWindow() {
    Lock lock;
    g_window = g_paused = false;
    g_failAt = 0;
}

AllocationCounts AllocationHooks::Counts() {
    Lock lock;
    return g_counts;
}

void AllocationHooks::Pause(bool paused) {
    Lock lock;
    g_paused = paused;
}

void AllocationHooks::FailAt(std::size_t n) {
    Lock lock;
    g_failAt = n;
    g_counts.failed = false;
}

}  // namespace VeloTest

#else

namespace VeloTest {
bool AllocationHooks::Available() {
    return false;
}
void AllocationHooks::BeginWindow() {}
void AllocationHooks::EndWindow() {}
AllocationCounts AllocationHooks::Counts() {
    return {};
}
void AllocationHooks::Pause(bool) {}
void AllocationHooks::FailAt(std::size_t) {}
}  // namespace VeloTest

#endif
