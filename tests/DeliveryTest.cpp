// Registration of the callback, the result envelope and the delivery of results.
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#if defined(_WIN32)
#include <windows.h>
#endif

#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

using Corvan::Velo::VeloBaseRet;
using Corvan::Velo::StandIn::FireBaseResult;
using Corvan::Velo::StandIn::ObserverKind;
using Corvan::Velo::StandIn::Observers;

class DeliveryTest : public BridgeTest {};

VeloBaseRet Base(int methodNameID, int retCode, int ret) {
    VeloBaseRet base;
    base.methodNameID = methodNameID;
    base.retCode = retCode;
    base.ret = ret;
    return base;
}

TEST_F(DeliveryTest, EnvelopeOfARecordWithEmptyTexts) {
    ASSERT_TRUE(FireBaseResult(Base(7, -1, 0)));
    EXPECT_EQ(OnlyDelivery(7),
              R"({"methodNameID":7,"retCode":-1,"retMsg":"","ret":0,"msg":"","extraJson":""})");
}

TEST_F(DeliveryTest, EnvelopeWritesTheSmallestIntegerWhole) {
    ASSERT_TRUE(FireBaseResult(Base(INT_MIN, INT_MIN, INT_MAX)));
    EXPECT_EQ(OnlyDelivery(INT_MIN),
              R"({"methodNameID":-2147483648,"retCode":-2147483648,"retMsg":"",)"
              R"("ret":2147483647,"msg":"","extraJson":""})");
}

TEST_F(DeliveryTest, EnvelopeTextsAreCutAtAZeroByteAndEscaped) {
    VeloBaseRet base = Base(1, 0, 0);
    base.retMsg = std::string("ok\0hidden", 9);
    base.msg = "line\n\"quoted\"\x01 \xE6\x97\xA5";
    base.extraJson = R"({"k":[1,"v"]})";
    ASSERT_TRUE(FireBaseResult(base));
    EXPECT_EQ(OnlyDelivery(1),
              "{\"methodNameID\":1,\"retCode\":0,\"retMsg\":\"ok\",\"ret\":0,"
              "\"msg\":\"line\\n\\\"quoted\\\"\\u0001 \xE6\x97\xA5\","
              "\"extraJson\":\"{\\\"k\\\":[1,\\\"v\\\"]}\"}");
}

TEST_F(DeliveryTest, WithoutACallbackTheResultIsDropped) {
    setUnityCallback(nullptr);
    ASSERT_TRUE(FireBaseResult(Base(3, 0, 0)));
    EXPECT_TRUE(Deliveries().empty());
}

TEST_F(DeliveryTest, RegistrationInstallsANewObserverOfEachKindEveryTime) {
    const auto before = Observers(ObserverKind::Login).size();
    setUnityCallback(nullptr);
    setUnityCallback(&CaptureCallback);
    for (const ObserverKind kind : {ObserverKind::Login, ObserverKind::Account,
                                    ObserverKind::Notice, ObserverKind::WebView}) {
        const auto observers = Observers(kind);
        ASSERT_GE(observers.size(), 2u);
        EXPECT_NE(observers[observers.size() - 1], observers[observers.size() - 2]);
    }
    EXPECT_EQ(Observers(ObserverKind::Login).size(), before + 2);
}

std::vector<Delivery> g_second;
void SecondCallback(int methodNameID, const char* json) {
    g_second.push_back({methodNameID, json});
}

TEST_F(DeliveryTest, ASecondRegistrationReplacesTheFirst) {
    g_second.clear();
    setUnityCallback(&SecondCallback);
    ASSERT_TRUE(FireBaseResult(Base(5, 0, 0)));
    EXPECT_TRUE(Deliveries().empty());
    ASSERT_EQ(g_second.size(), 1u);
    EXPECT_EQ(g_second[0].methodNameID, 5);
}

TEST_F(DeliveryTest, AnOlderObserverStillDeliversToTheCurrentCallback) {
    setLoginObserverAdapter();  // the core now calls a newer observer; both write the same
    ASSERT_TRUE(FireBaseResult(Base(9, 0, 0)));
    EXPECT_EQ(Deliveries().size(), 1u);
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

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

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

class RegistrationTest : public DeliveryTest {
  protected:
    void SetUp() override {
        DeliveryTest::SetUp();
        gate_ = std::make_unique<Gate>();
        g_gate = gate_.get();
        g_unregistered = false;
    }
    void TearDown() override {
        gate_->Open();
        setUnityCallback(&CaptureCallback);
        DeliveryTest::TearDown();
    }
    // A delivery of result `methodNameID` on a thread of its own.
    static std::thread Deliver(int methodNameID) {
        return std::thread([methodNameID] { FireBaseResult(Base(methodNameID, 0, 0)); });
    }
    std::unique_ptr<Gate> gate_;
};

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
        waited = Seconds(std::chrono::steady_clock::now() - start);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_FALSE(returned.load()) << "returned while the old callback was still running";
    gate_->Open();
    game.join();
    core.join();

    EXPECT_GE(waited, 0.9);
    EXPECT_LE(cpu, 0.05 * waited) << "CPU time spent waiting " << waited << " s";
    FireBaseResult(Base(3, 0, 0));
    EXPECT_EQ(gate_->calls, 1);
}

TEST_F(RegistrationTest, FromInsideTheCallbackItWaitsForTheOtherThreadsDeliveriesNotItsOwn) {
    setUnityCallback(&UnregisteringCallback);
    std::thread other = Deliver(1);
    gate_->AwaitInside(1);
    std::atomic<bool> done{false};
    std::thread unregistering([&] {
        FireBaseResult(Base(2, 0, 0));
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(g_unregistered.load()) << "returned while another thread was in the callback";
    gate_->Open();
    EXPECT_TRUE(EndsWithin(unregistering, done, 10));
    other.join();
    EXPECT_TRUE(g_unregistered.load());
    FireBaseResult(Base(1, 0, 0));
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
        FireBaseResult(Base(1, 0, 0));
        firstDone = true;
    });
    std::thread second([&] {
        FireBaseResult(Base(2, 0, 0));
        secondDone = true;
    });
    EXPECT_TRUE(EndsWithin(first, firstDone, 10));
    EXPECT_TRUE(EndsWithin(second, secondDone, 10));
}

}  // namespace
}  // namespace VeloTest
