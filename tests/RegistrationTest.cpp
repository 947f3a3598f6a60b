// The one callback: replacing and unregistering it, and what unregistering waits for.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#endif

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

// Callbacks in rotation; each one checks on entry that the registration that replaced it has not
// returned. A delivery that read the current phase just before a registration switched it must
// still reach the new callback; to make that moment common the core thread is suspended at random
// points (POSIX), by a handler that waits until the registration made meanwhile has returned, or
// briefly when the suspended delivery is counted already (the registration then waits for it).
constexpr int kRotation = 8;
std::atomic<bool> g_replaced[kRotation];
// (g_suspended and g_resumed are used only where threads can be suspended.)
[[maybe_unused]] std::atomic<int> g_late{0}, g_delivered{0}, g_returned{0}, g_begun{0},
    g_suspended{0}, g_resumed{0};

template <int N>
void Rotating(int, const char*) {
    g_late.fetch_add(g_replaced[N].load() ? 1 : 0);
    g_delivered.fetch_add(1);
}

#if !defined(_WIN32) && !defined(VELO_TEST_SANITIZED)
constexpr int kRegistrations = 100000;
// Spins until the registration made meanwhile has returned, or 2 ms after it began: it waits for
// a delivery that was suspended after being counted.
void HoldUntilARegistrationReturns(int) {
    const int returned = g_returned.load();
    g_suspended.fetch_add(1);
    bool timing = false;
    timespec begun{}, now{};
    while (g_returned.load() == returned) {
        if (g_begun.load() != returned) {
            clock_gettime(CLOCK_MONOTONIC, timing ? &now : &begun);
            if (timing && (now.tv_sec - begun.tv_sec) * 1000000000L + now.tv_nsec - begun.tv_nsec >
                              2000000L) {
                break;
            }
            timing = true;
        }
    }
    g_resumed.fetch_add(1);
}
void Suspend(std::thread& thread) {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = &HoldUntilARegistrationReturns;
        return sigaction(SIGUSR2, &action, nullptr) == 0;
    }();
    // At a random point: the core thread runs on for a random while.
    static std::minstd_rand random;
    for (int spin = std::uniform_int_distribution<int>(0, 20000)(random); spin > 0; --spin) {
        g_resumed.load();
    }
    const int suspended = g_suspended.load();
    ASSERT_TRUE(installed && pthread_kill(thread.native_handle(), SIGUSR2) == 0);
    while (g_suspended.load() == suspended) {
        std::this_thread::yield();
    }
}
void AwaitResumed() {
    while (g_resumed.load() != g_suspended.load()) {
        std::this_thread::yield();
    }
}
#else
// No POSIX signals, or the sanitizers, which hold asynchronous signals back: plain rotation.
constexpr int kRegistrations = 2000;
void Suspend(std::thread&) {}
void AwaitResumed() {}
#endif

TEST_F(RegistrationTest, NoDeliveryReachesACallbackAfterItsReplacementReturned) {
    const UnityCallback callbacks[kRotation] = {&Rotating<0>, &Rotating<1>, &Rotating<2>,
                                                &Rotating<3>, &Rotating<4>, &Rotating<5>,
                                                &Rotating<6>, &Rotating<7>};
    g_late = g_delivered = 0;
    g_replaced[0] = false;
    setUnityCallback(callbacks[0]);
    // Cheap deliveries, straight into the observer: the moment that matters is a larger share.
    auto* observer = static_cast<Velo::VeloLoginObserver*>(
        const_cast<void*>(StandIn::Observers(StandIn::ObserverKind::Login).back()));
    Velo::VeloBaseRet base;
    std::atomic<bool> stop{false}, started{false};
    std::thread core([&] {
        started = true;
        do {
            observer->OnBaseResult(base);
        } while (!stop.load());
    });
    while (!started.load()) {
        std::this_thread::yield();
    }
    int registrations = 1;
    for (; registrations <= kRegistrations && g_late.load() == 0; ++registrations) {
        const int i = registrations;
        Suspend(core);
        g_replaced[i % kRotation] = false;
        g_begun.fetch_add(1);
        setUnityCallback(callbacks[i % kRotation]);
        g_replaced[(i - 1) % kRotation] = true;
        g_returned.fetch_add(1);
        AwaitResumed();
    }
    stop = true;
    core.join();
    EXPECT_EQ(g_late.load(), 0) << "a replaced callback was called after registration "
                                << registrations;
    EXPECT_GT(g_delivered.load(), 0);
}

}  // namespace
}  // namespace VeloTest
