// Windows only: the adapter DLL as a game loads it, through LoadLibrary, many times in one
// process, and with it the stand-in core, which this program does not import: results delivered
// on threads that then exit, exceptions across the core boundary, and nothing left behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "VeloStandInC.h"
#include "VeloUnityAdapter.h"
#include "support/WindowsProcess.h"

namespace VeloTest {
namespace {

std::atomic<int> g_deliveries{0};
void CountDelivery(int, const char*) {
    ++g_deliveries;
}

// One load of the adapter, and with it the core: the observer a fresh load installs delivers
// nothing until this load's statics hold a callback (a leftover one would count twice), then one
// result from a thread that exits and one from the core's own thread, which ends before the
// unload.
void LoadDeliverUnload() {
    {
        const LoadedLibrary adapter(L"VeloUnityAdapter.dll");
        ASSERT_TRUE(adapter.Loaded());
        const HMODULE core = GetModuleHandleW(L"VeloCore.dll");
        const auto fire = Export<decltype(veloStandInFire)>(core, "veloStandInFire");
        const auto waitForAnswers =
            Export<decltype(veloStandInWaitForAnswers)>(core, "veloStandInWaitForAnswers");
        ASSERT_TRUE(fire != nullptr && waitForAnswers != nullptr);
        adapter.Get<void()>("setLoginObserverAdapter")();
        const int before = g_deliveries.load();
        ASSERT_TRUE(fire("login", "{}", false));
        adapter.Get<void(UnityCallback)>("setUnityCallback")(&CountDelivery);
        std::thread([&] { fire("login", "{}", false); }).join();
        ASSERT_TRUE(fire("login", "{}", true));
        ASSERT_TRUE(waitForAnswers());
        ASSERT_EQ(g_deliveries.load(), before + 2);
    }
    ASSERT_EQ(GetModuleHandleW(L"VeloUnityAdapter.dll"), nullptr);
    ASSERT_EQ(GetModuleHandleW(L"VeloCore.dll"), nullptr);
}

struct Usage {
    std::size_t committedBytes = 0;
    ULONG_PTR nextHandle = 0;
};
Usage ProcessUsage() {
    // The value a new handle gets, the lowest free slot of the process's handle table, which
    // leaked handles push up (Wine does not count a process's handles).
    const HANDLE handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(handle);
    return {CommittedBytes(), reinterpret_cast<ULONG_PTR>(handle)};
}

TEST(LoadUnloadTest, AThousandLoadsOfAdapterAndCoreWithDeliveriesOnExitingThreadsLeaveNothing) {
    int load = 0;
    const auto loads = [&](int count) {
        for (const int end = load + count; load < end && !HasFatalFailure(); ++load) {
            SCOPED_TRACE(load);  // (the test framework starts a thread at its first trace)
            LoadDeliverUnload();
        }
    };
    loads(50);  // the process's own caches settle first
    const Usage start = ProcessUsage();
    loads(1000);
    const Usage end = ProcessUsage();
    EXPECT_LT(end.committedBytes, start.committedBytes + 2 * 1024 * 1024)
        << "committed: " << start.committedBytes << " bytes, then " << end.committedBytes;
    EXPECT_LE(end.nextHandle, start.nextHandle + 8 * 4);  // handle values go in steps of 4
}

TEST(LoadUnloadTest, AnExceptionThrownInsideTheCoreStopsAtTheCBoundary) {
    const LoadedLibrary adapter(L"VeloUnityAdapter.dll");
    ASSERT_TRUE(adapter.Loaded());
    // The stand-in's C++ control, by its MSVC-decorated name, as the adapter imports the core's:
    // Corvan::Velo::StandIn::SetThrowing(bool). The core then throws an int from GetLoginRet.
    const auto setThrowing = Export<void(bool)>(GetModuleHandleW(L"VeloCore.dll"),
                                                "?SetThrowing@StandIn@Velo@Corvan@@YAX_N@Z");
    ASSERT_NE(setThrowing, nullptr);
    setThrowing(true);
    EXPECT_EQ(adapter.Get<char*()>("getLoginRetAdapter")(), nullptr);
}

}  // namespace
}  // namespace VeloTest
