// Windows only: the adapter DLL as a game loads it, through LoadLibrary, many times in one
// process, with results delivered on threads that then exit. The runtime start-up code each DLL
// carries must build its static objects on every load, destroy them on every unload, and keep
// thread-local storage and exceptions working across the core boundary.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <stdexcept>
#include <thread>

#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

namespace StandIn = Corvan::Velo::StandIn;

std::atomic<int> g_deliveries{0};
void CountDelivery(int, const char*) {
    ++g_deliveries;
}

// The adapter, loaded for the lifetime of one object.
class LoadedAdapter {
  public:
    LoadedAdapter() : module_(LoadLibraryW(L"VeloUnityAdapter.dll")) {}
    ~LoadedAdapter() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    LoadedAdapter(const LoadedAdapter&) = delete;
    LoadedAdapter& operator=(const LoadedAdapter&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    template <class Function>
    Function* Get(const char* name) const {
        return reinterpret_cast<Function*>(GetProcAddress(module_, name));
    }

  private:
    HMODULE module_;
};

// One load: the observer a fresh load installs delivers nothing until this load's statics hold
// a callback (a leftover one would count twice), then one result from a thread that exits.
void LoadDeliverUnload() {
    LoadedAdapter adapter;
    ASSERT_TRUE(adapter.Loaded());
    adapter.Get<void()>("setLoginObserverAdapter")();
    const int before = g_deliveries.load();
    ASSERT_TRUE(StandIn::FireLoginResult(Corvan::Velo::VeloLoginRet()));
    adapter.Get<void(UnityCallback)>("setUnityCallback")(&CountDelivery);
    std::thread([] { StandIn::FireLoginResult(Corvan::Velo::VeloLoginRet()); }).join();
    ASSERT_EQ(g_deliveries.load(), before + 1);
}

struct Usage {
    SIZE_T committedBytes = 0;
    ULONG_PTR nextHandle = 0;
};
Usage ProcessUsage() {
    PROCESS_MEMORY_COUNTERS counters{};
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    // The value a new handle gets, the lowest free slot of the process's handle table, which
    // leaked handles push up (Wine does not count a process's handles).
    const HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(handle);
    return {counters.PagefileUsage, reinterpret_cast<ULONG_PTR>(handle)};
}

TEST(LoadUnloadTest, AThousandLoadsWithDeliveriesOnExitingThreadsLeaveNothingBehind) {
    for (int i = 0; i < 50; ++i) {  // the process's own caches settle first
        LoadDeliverUnload();
    }
    const Usage start = ProcessUsage();
    for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) {
        LoadDeliverUnload();
        ASSERT_EQ(GetModuleHandleW(L"VeloUnityAdapter.dll"), nullptr) << "load " << i;
    }
    const Usage end = ProcessUsage();
    EXPECT_LT(end.committedBytes, start.committedBytes + 2 * 1024 * 1024);
    EXPECT_LE(end.nextHandle, start.nextHandle + 8 * 4);  // handle values go in steps of 4
}

int Counter(const wchar_t* name) {
    wchar_t text[16] = L"0";
    GetEnvironmentVariableW(name, text, 16);
    return static_cast<int>(std::wcstol(text, nullptr, 10));
}

// Per load: the static object once, built on load and destroyed on unload; a thread_local one
// for the loading thread and for each thread started while the DLL is loaded, destroyed when the
// thread ends or the DLL unloads.
TEST(LoadUnloadTest, StaticAndThreadLocalObjectsAreBuiltOnEachLoadAndDestroyedOnUnload) {
    for (int load = 1; load <= 3; ++load) {
        const HMODULE probe = LoadLibraryW(L"VeloStartupProbe.dll");
        ASSERT_NE(probe, nullptr);
        EXPECT_EQ(Counter(L"PROBE_STATIC_BUILT"), load);
        EXPECT_EQ(Counter(L"PROBE_STATIC_DESTROYED"), load - 1);
        const auto threadObject =
            reinterpret_cast<const void* (*)()>(GetProcAddress(probe, "ProbeThreadObject"));
        const void* mine = threadObject();
        const void* theirs = nullptr;
        std::thread([&] { theirs = threadObject(); }).join();
        EXPECT_NE(mine, theirs);
        EXPECT_EQ(Counter(L"PROBE_THREAD_BUILT"), 2 * load);
        EXPECT_EQ(Counter(L"PROBE_THREAD_DESTROYED"), 2 * load - 1);
        FreeLibrary(probe);
        EXPECT_EQ(Counter(L"PROBE_STATIC_DESTROYED"), load);
        EXPECT_EQ(Counter(L"PROBE_THREAD_DESTROYED"), 2 * load);
    }
}

TEST(LoadUnloadTest, AnExceptionThrownInsideTheCoreStopsAtTheCBoundary) {
    LoadedAdapter adapter;
    ASSERT_TRUE(adapter.Loaded());
    StandIn::SetLoginRetAnswer(
        [](Corvan::Velo::VeloLoginRet&) -> bool { throw std::runtime_error("inside the core"); });
    EXPECT_EQ(adapter.Get<char*()>("getLoginRetAdapter")(), nullptr);
    StandIn::Reset();
}

}  // namespace
