// The stand-in core under what a test or the editor may feed it: texts it cannot read, waits
// from its own thread, and sessions of any length.
#include <atomic>

#include "VeloStandInC.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

TEST_F(BridgeTest, TheStandInRefusesARecordItCannotReadWithItsReasonAndFiresNothing) {
    const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    const struct {
        const char* kind;
        std::string record;
        const char* reason;
    } cases[] = {
        {"base", deep, "nests deeper than 64 levels"},
        {"notice", "{\"notice_list\":" + deep + "}", "nests deeper than 64 levels"},
        {"base", "{\"retCode\":", "the record is not JSON: Invalid value. (at offset 11)"},
        {"base", "[1]", "not a JSON object"},
        // As every strict reader reads it: no number beyond a double, no lone surrogate.
        {"base", "{\"retCode\":6068882444418e306}",
         "a number too large for a double (at offset 11)"},
        {"webview", "{\"msg\":\"\\uDDDD\"}", "a \\u escape of a lone surrogate (at offset 8)"},
        {"sideways", "{}", "unknown kind of result 'sideways'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_FALSE(veloStandInFire(c.kind, c.record.c_str(), false));
        EXPECT_NE(StandInLastError().find(c.reason), std::string::npos) << StandInLastError();
    }
    EXPECT_TRUE(Deliveries().empty());
    EXPECT_FALSE(veloStandInSetLoginRet(deep.c_str()));
    EXPECT_NE(StandInLastError().find("nests deeper"), std::string::npos);

    ASSERT_TRUE(veloStandInFire("webview", "{\"methodNameID\":4,\"embedProgress\":-1e300}", false));
    EXPECT_EQ(StandInLastError(), "");
    EXPECT_NE(OnlyDelivery(4).find("\"embedProgress\":null"), std::string::npos);
}

TEST_F(BridgeTest, TheStandInCutsALongReasonWhereAWholeCharacterEnds) {
    std::string kind;  // three-byte characters, beyond the 511 bytes a reason keeps
    while (kind.size() < 600) {
        kind += "\xE2\x82\xAC";
    }
    EXPECT_FALSE(veloStandInFire(kind.c_str(), "{}", false));
    EXPECT_EQ(StandInLastError(), ("unknown kind of result '" + kind).substr(0, 510));
}

// A callback on the core's answering thread that waits for the core's answers, then resets it.
std::atomic<int> g_waited{-1};
std::atomic<int> g_reset{-1};
void WaitingCallback(int, const char*) {
    g_waited = veloStandInWaitForAnswers() ? 1 : 0;
    g_reset = veloStandInReset() ? 1 : 0;
}

TEST_F(BridgeTest, WaitingOnTheStandInsOwnThreadReturnsAtOnceAndSaysSo) {
    setUnityCallback(&WaitingCallback);
    ASSERT_TRUE(veloStandInFire("base", "{}", true));
    EXPECT_TRUE(veloStandInWaitForAnswers());
    EXPECT_EQ(g_waited.load(), 0);
    EXPECT_EQ(g_reset.load(), 0);
    EXPECT_TRUE(veloStandInReset());
}

TEST_F(BridgeTest, TheStandInKeepsTheLatestCallsWithinItsLimitAndCountsTheRest) {
    veloStandInSetRecordLimit(100);
    for (int i = 0; i < 1000000; ++i) {
        autoLoginAdapter();
    }
    setInstallChannelAdapter("last");
    setWebViewObserverAdapter();
    EXPECT_EQ(veloStandInCallCount(), 100);
    EXPECT_EQ(veloStandInDroppedCallCount(), 1000001 - 100);
    const auto calls = StandIn::Calls();
    EXPECT_EQ(calls.back().operation, "SetInstallChannel");
    EXPECT_EQ(calls.front().operation, "AutoLogin");
    EXPECT_EQ(StandIn::LogLines().size(), 1u);
    veloStandInReset();
    StandIn::SetRecordLimit(StandIn::kDefaultRecordLimit);
    EXPECT_EQ(veloStandInCallCount(), 0);
    EXPECT_EQ(veloStandInDroppedCallCount(), 0);
}

}  // namespace
}  // namespace VeloTest
