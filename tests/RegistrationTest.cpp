// The one callback: replacing and unregistering it, and what unregistering waits for.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "SchedulePoint.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

bool FireBase(int methodNameID) {
    Velo::VeloBaseRet base;
    base.methodNameID = methodNameID;
    return StandIn::FireBaseResult(base);
}

// Callbacks that hold their delivery until the test opens the gate, counting who is inside.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    int inside = 0;
    int calls = 0;
    bool open = false;

    void Enter() {
        std::unique_lock<std::mutex> lock(mutex);
        ++calls;
        ++inside;
        changed.notify_all();
        changed.wait(lock, [&] { return open; });
        --inside;
    }
    void AwaitInside(int count) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return inside >= count; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
};
Gate* g_gate = nullptr;

void GatedCallback(int, const char*) {
    g_gate->Enter();
}

// Unregisters from inside the callback, on a thread whose delivery is the result numbered 2.
std::atomic<bool> g_unregistered{false};
void UnregisteringCallback(int methodNameID, const char*) {
    if (methodNameID == 2) {
        setUnityCallback(nullptr);
        g_unregistered = true;
    } else {
        g_gate->Enter();
    }
}

// CPU time the calling thread has used, in seconds.
double ThreadCpuSeconds() {
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;  // 100 ns units
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// Joins `thread` if it ends within `seconds`; otherwise lets it go and says so.
::testing::AssertionResult EndsWithin(std::thread& thread, std::atomic<bool>& done,
                                      double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done.load() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!done.load()) {
        thread.detach();
        return ::testing::AssertionFailure() << "still waiting after " << seconds << " s";
    }
    thread.join();
    return ::testing::AssertionSuccess();
}

class RegistrationTest : public BridgeTest {
  protected:
    void SetUp() override {
        BridgeTest::SetUp();
        gate_ = std::make_unique<Gate>();
        g_gate = gate_.get();
        g_unregistered = false;
    }
    void TearDown() override {
        gate_->Open();
        setUnityCallback(&CaptureCallback);
        BridgeTest::TearDown();
    }
    // A delivery of result `methodNameID` on a thread of its own.
    static std::thread Deliver(int methodNameID) {
        return std::thread([methodNameID] { FireBase(methodNameID); });
    }
    std::unique_ptr<Gate> gate_;
};

std::vector<Delivery> g_second;
void SecondCallback(int methodNameID, const char* json) {
    g_second.push_back({methodNameID, json});
}

TEST_F(RegistrationTest, ALaterRegistrationReplacesTheCallbackAndNullDropsResults) {
    g_second.clear();
    setLoginObserverAdapter();  // an older observer still delivers to the current callback
    setUnityCallback(&SecondCallback);
    ASSERT_TRUE(FireBase(5));
    setUnityCallback(nullptr);
    ASSERT_TRUE(FireBase(6));
    EXPECT_TRUE(Deliveries().empty());
    ASSERT_EQ(g_second.size(), 1u);
    EXPECT_EQ(g_second[0].methodNameID, 5);
}

TEST_F(RegistrationTest, UnregisteringSleepsUntilTheDeliveryInProgressEndsAndStopsLaterOnes) {
    setUnityCallback(&GatedCallback);
    std::thread core = Deliver(1);
    gate_->AwaitInside(1);

    std::atomic<bool> returned{false};
    double waited = 0, cpu = 0;
    std::thread game([&] {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuSeconds();
        setUnityCallback(nullptr);
        cpu = ThreadCpuSeconds() - cpuStart;
        waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_FALSE(returned.load()) << "returned while the old callback was still running";
    gate_->Open();
    game.join();
    core.join();

    EXPECT_GE(waited, 0.9);
    EXPECT_LE(cpu, 0.05 * waited) << "CPU time spent waiting " << waited << " s";
    FireBase(3);
    EXPECT_EQ(gate_->calls, 1);
}

TEST_F(RegistrationTest, FromInsideTheCallbackItWaitsForTheOtherThreadsDeliveriesNotItsOwn) {
    setUnityCallback(&UnregisteringCallback);
    std::thread other = Deliver(1);
    gate_->AwaitInside(1);
    std::atomic<bool> done{false};
    std::thread unregistering([&] {
        FireBase(2);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(g_unregistered.load()) << "returned while another thread was in the callback";
    gate_->Open();
    EXPECT_TRUE(EndsWithin(unregistering, done, 10));
    other.join();
    EXPECT_TRUE(g_unregistered.load());
    FireBase(1);
    EXPECT_EQ(gate_->calls, 1) << "a delivery reached the unregistered callback";
}

// Each of two threads, inside the callback, unregisters once both are inside.
std::atomic<int> g_insideBoth{0};
void UnregisterWhenBothInside(int, const char*) {
    g_insideBoth.fetch_add(1);
    while (g_insideBoth.load() < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    setUnityCallback(nullptr);
}

TEST_F(RegistrationTest, TwoThreadsUnregisteringFromInsideTheirCallbacksAtOnceBothReturn) {
    g_insideBoth = 0;
    setUnityCallback(&UnregisterWhenBothInside);
    std::atomic<bool> firstDone{false}, secondDone{false};
    std::thread first([&] {
        FireBase(1);
        firstDone = true;
    });
    std::thread second([&] {
        FireBase(2);
        secondDone = true;
    });
    EXPECT_TRUE(EndsWithin(first, firstDone, 10));
    EXPECT_TRUE(EndsWithin(second, secondDone, 10));
}

#if defined(_WIN32)
// A callback that faults (an access violation) and a game that handles the fault with __except
// further up the delivering thread: the structured exception leaves the callback, the adapter
// and the core without running their C++ destructors.
int* volatile g_nowhere = nullptr;
void FaultingCallback(int, const char*) {
    *g_nowhere = 1;
}
bool FaultHandledByTheGame(int methodNameID) {
    __try {
        FireBase(methodNameID);
    } __except (GetExceptionCode() == EXCEPTION_ACCESS_VIOLATION ? EXCEPTION_EXECUTE_HANDLER
                                                                 : EXCEPTION_CONTINUE_SEARCH) {
        return true;
    }
    return false;
}

TEST_F(RegistrationTest, ADeliveryLeftByAStructuredExceptionTheGameHandlesHasEnded) {
    setUnityCallback(&FaultingCallback);
    ASSERT_TRUE(FaultHandledByTheGame(1));
    std::atomic<bool> done{false};
    std::thread unregistering([&] {
        setUnityCallback(&CaptureCallback);
        done = true;
    });
    if (!EndsWithin(unregistering, done, 10)) {
        // The delivery stays counted for good: every later registration, this fixture's own
        // included, would wait for it.
        ADD_FAILURE() << "the registration waits for the delivery the fault left";
        std::fflush(stdout);
        std::_Exit(1);
    }
    // Deliveries go on, to the callback registered since.
    ASSERT_TRUE(FireBase(2));
    EXPECT_NE(OnlyDelivery(2), "");
}
#endif

// A delivery that read the current phase just before a registration switched it must still reach
// the new callback. The tests' build of the adapter holds the delivery at that very point (read,
// not yet counted) while the callback is replaced, so the window is open in every run.
std::atomic<bool> g_oldReplaced{false};
std::atomic<int> g_late{0}, g_reachedNew{0};
std::atomic<bool> g_holdNextDelivery{false};

void OldCallback(int, const char*) {
    g_late.fetch_add(g_oldReplaced.load() ? 1 : 0);
}
void NewCallback(int, const char*) {
    g_reachedNew.fetch_add(1);
}
void HoldAfterReadingThePhase(int point) {
    if (point == kVeloSchedulePointDeliveryReadPhase && g_holdNextDelivery.exchange(false)) {
        g_gate->Enter();
    }
}

TEST_F(RegistrationTest, NoDeliveryReachesACallbackAfterItsReplacementReturned) {
    g_oldReplaced = false;
    g_late = g_reachedNew = 0;
    setUnityCallback(&OldCallback);
    g_holdNextDelivery = true;
    veloSetSchedulePointHook(&HoldAfterReadingThePhase);
    std::thread core = Deliver(1);
    gate_->AwaitInside(1);
    setUnityCallback(&NewCallback);
    g_oldReplaced = true;
    gate_->Open();
    core.join();
    veloSetSchedulePointHook(nullptr);
    EXPECT_EQ(g_late.load(), 0) << "the replaced callback was called after the registration";
    EXPECT_EQ(g_reachedNew.load(), 1);
}

}  // namespace
}  // namespace VeloTest
