// Registration of the callback, the result envelope and the delivery of results.
#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

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

// A callback that holds its delivery until the test lets it go.
std::atomic<int> g_blockedEntered{0};
std::atomic<bool> g_release{false};
std::atomic<int> g_blockedCalls{0};
void BlockingCallback(int, const char*) {
    g_blockedCalls.fetch_add(1);
    g_blockedEntered.store(1);
    while (!g_release.load()) {
        std::this_thread::yield();
    }
}

TEST_F(DeliveryTest, UnregisteringWaitsForADeliveryInProgressAndStopsLaterOnes) {
    g_blockedEntered = 0;
    g_release = false;
    g_blockedCalls = 0;
    setUnityCallback(&BlockingCallback);
    std::thread core([] { FireBaseResult(Base(1, 0, 0)); });
    while (g_blockedEntered.load() == 0) {
        std::this_thread::yield();
    }
    std::atomic<bool> returned{false};
    std::thread game([&] {
        setUnityCallback(nullptr);
        returned.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(returned.load()) << "returned while the old callback was still running";
    g_release = true;
    game.join();
    core.join();
    EXPECT_TRUE(returned.load());
    FireBaseResult(Base(2, 0, 0));
    EXPECT_EQ(g_blockedCalls.load(), 1);
}

std::atomic<int> g_reentrantCalls{0};
void ReregisteringCallback(int, const char*) {
    g_reentrantCalls.fetch_add(1);
    setUnityCallback(&CaptureCallback);  // must not wait for this very delivery
}

TEST_F(DeliveryTest, RegisteringFromInsideTheCallbackReturnsAtOnce) {
    g_reentrantCalls = 0;
    setUnityCallback(&ReregisteringCallback);
    ASSERT_TRUE(FireBaseResult(Base(1, 0, 0)));
    EXPECT_EQ(g_reentrantCalls.load(), 1);
    ASSERT_TRUE(FireBaseResult(Base(2, 0, 0)));
    EXPECT_EQ(g_reentrantCalls.load(), 1);
    EXPECT_EQ(OnlyDelivery(2).substr(0, 17), R"({"methodNameID":2)");
}

}  // namespace
}  // namespace VeloTest
