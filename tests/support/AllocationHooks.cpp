#include "AllocationHooks.h"
#include "LibcHeap.h"

#include <atomic>
#include <cstdint>

#if defined(__GLIBC__) && !defined(VELO_TEST_NO_HEAP_HOOKS)

namespace {

// Blocks allocated in the window, in an open-addressing table that needs no allocation itself.
constexpr std::size_t kSlots = 1 << 16;
struct Slot {
    void* pointer;
    bool fromCalloc;
};
Slot g_slots[kSlots];
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
bool g_window = false;
bool g_paused = false;
std::size_t g_callocs = 0;
std::size_t g_liveCallocs = 0;
std::size_t g_allocations = 0;
long g_live = 0;
std::size_t g_failAt = 0;
bool g_failed = false;

class Lock {
  public:
    Lock() {
        while (g_lock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~Lock() { g_lock.clear(std::memory_order_release); }
};

std::size_t SlotOf(void* pointer) {
    return (reinterpret_cast<std::uintptr_t>(pointer) >> 4) * 2654435761u % kSlots;
}

void Insert(void* pointer, bool fromCalloc) {
    for (std::size_t i = SlotOf(pointer), n = 0; n < kSlots; i = (i + 1) % kSlots, ++n) {
        if (g_slots[i].pointer == nullptr) {
            g_slots[i] = {pointer, fromCalloc};
            return;
        }
    }
}

// Removes `pointer` if the window allocated it; returns whether it did.
bool Remove(void* pointer, bool* fromCalloc) {
    for (std::size_t i = SlotOf(pointer), n = 0; n < kSlots; i = (i + 1) % kSlots, ++n) {
        if (g_slots[i].pointer == nullptr) {
            return false;
        }
        if (g_slots[i].pointer == pointer) {
            *fromCalloc = g_slots[i].fromCalloc;
            // Re-insert the rest of the cluster so that lookups still find it.
            g_slots[i].pointer = nullptr;
            for (std::size_t j = (i + 1) % kSlots; g_slots[j].pointer != nullptr;
                 j = (j + 1) % kSlots) {
                const Slot moved = g_slots[j];
                g_slots[j].pointer = nullptr;
                Insert(moved.pointer, moved.fromCalloc);
            }
            return true;
        }
    }
    return false;
}

// Counts one allocation of the window; false when it is the one to fail.
bool Admit() {
    if (!g_window || g_paused) {
        return true;
    }
    ++g_allocations;
    if (g_failAt != 0 && g_allocations == g_failAt) {
        g_failed = true;
        return false;
    }
    return true;
}

void Forget(void* pointer) {
    bool fromCalloc = false;
    if (g_window && pointer != nullptr && Remove(pointer, &fromCalloc)) {
        --g_live;
        if (fromCalloc) {
            --g_liveCallocs;
        }
    }
}

void Remember(void* pointer, bool fromCalloc) {
    if (g_window && !g_paused && pointer != nullptr) {
        Insert(pointer, fromCalloc);
        ++g_live;
        if (fromCalloc) {
            ++g_liveCallocs;
        }
    }
}

}  // namespace

extern "C" void* malloc(std::size_t size) {
    Lock lock;
    if (!Admit()) {
        return nullptr;
    }
    void* pointer = __libc_malloc(size);
    Remember(pointer, false);
    return pointer;
}

extern "C" void* calloc(std::size_t count, std::size_t size) {
    Lock lock;
    if (g_window && !g_paused) {
        ++g_callocs;
    }
    if (!Admit()) {
        return nullptr;
    }
    void* pointer = __libc_calloc(count, size);
    Remember(pointer, true);
    return pointer;
}

extern "C" void* realloc(void* pointer, std::size_t size) {
    Lock lock;
    if (size != 0 && !Admit()) {
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
    for (Slot& slot : g_slots) {
        slot.pointer = nullptr;
    }
    g_window = true;
    g_callocs = g_liveCallocs = g_allocations = 0;
    g_live = 0;
    g_failAt = 0;
    g_failed = false;
}

void AllocationHooks::Pause(bool paused) {
    Lock lock;
    g_paused = paused;
}

void AllocationHooks::EndWindow() {
    Lock lock;
    g_window = false;
    g_paused = false;
    g_failAt = 0;
}

std::size_t AllocationHooks::Callocs() {
    Lock lock;
    return g_callocs;
}

std::size_t AllocationHooks::LiveCallocs() {
    Lock lock;
    return g_liveCallocs;
}

std::size_t AllocationHooks::Allocations() {
    Lock lock;
    return g_allocations;
}

long AllocationHooks::LiveAllocations() {
    Lock lock;
    return g_live;
}

void AllocationHooks::FailAt(std::size_t n) {
    Lock lock;
    g_failAt = n;
    g_failed = false;
}

bool AllocationHooks::Failed() {
    Lock lock;
    return g_failed;
}

}  // namespace VeloTest

#else

namespace VeloTest {

bool AllocationHooks::Available() {
    return false;
}
void AllocationHooks::BeginWindow() {}
void AllocationHooks::EndWindow() {}
void AllocationHooks::Pause(bool) {}
std::size_t AllocationHooks::Callocs() {
    return 0;
}
std::size_t AllocationHooks::LiveCallocs() {
    return 0;
}
std::size_t AllocationHooks::Allocations() {
    return 0;
}
long AllocationHooks::LiveAllocations() {
    return 0;
}
void AllocationHooks::FailAt(std::size_t) {}
bool AllocationHooks::Failed() {
    return false;
}

}  // namespace VeloTest

#endif
