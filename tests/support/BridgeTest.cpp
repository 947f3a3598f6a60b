#include "BridgeTest.h"

#include <mutex>

namespace VeloTest {

namespace {
std::mutex g_mutex;
std::vector<Delivery> g_deliveries;
}  // namespace

void CaptureCallback(int methodNameID, const char* json) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_deliveries.push_back({methodNameID, json});
}

std::vector<Delivery> Deliveries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_deliveries;
}

void ClearDeliveries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_deliveries.clear();
}

using Kind = Corvan::Velo::StandIn::RecordedArg::Kind;

Expected T(std::string text) {
    return {Kind::Text, std::move(text)};
}
Expected I(int value) {
    return {Kind::Int, {}, value};
}
Expected F(bool value) {
    return {Kind::Flag, {}, 0, value};
}

void ExpectSingleCall(const std::string& operation, const std::vector<Expected>& args) {
    const std::vector<Corvan::Velo::StandIn::RecordedCall> calls = Corvan::Velo::StandIn::Calls();
    ASSERT_EQ(calls.size(), 1u);
    const Corvan::Velo::StandIn::RecordedCall& call = calls.front();
    EXPECT_EQ(call.operation, operation);
    ASSERT_EQ(call.args.size(), args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        SCOPED_TRACE("argument " + std::to_string(i + 1));
        const Corvan::Velo::StandIn::RecordedArg& got = call.args[i];
        const Expected& want = args[i];
        ASSERT_EQ(static_cast<int>(got.kind), static_cast<int>(want.kind));
        switch (want.kind) {
            case Kind::Text:
                EXPECT_FALSE(got.null);
                EXPECT_EQ(got.length, want.text.size());
                EXPECT_EQ(got.bytes, want.text);
                EXPECT_TRUE(got.terminated);
                break;
            case Kind::Int:
                EXPECT_EQ(got.integer, want.integer);
                break;
            case Kind::Flag:
                EXPECT_EQ(got.flag, want.flag);
                break;
            case Kind::CText:
                break;
        }
    }
}

void BridgeTest::SetUp() {
    Corvan::Velo::StandIn::Reset();
    setUnityCallback(&CaptureCallback);
    Corvan::Velo::StandIn::Reset();
    ClearDeliveries();
}

void BridgeTest::TearDown() {
    Corvan::Velo::StandIn::Reset();
}

std::string BridgeTest::OnlyDelivery(int methodNameID) {
    const std::vector<Delivery> deliveries = Deliveries();
    if (deliveries.size() != 1) {
        ADD_FAILURE() << "expected one delivery, got " << deliveries.size();
        return {};
    }
    EXPECT_EQ(deliveries.front().methodNameID, methodNameID);
    return deliveries.front().json;
}

std::string BridgeTest::Take(char* text) {
    if (text == nullptr) {
        ADD_FAILURE() << "no text returned";
        return {};
    }
    std::string copy(text);
    releaseTextAdapter(text);
    return copy;
}

}  // namespace VeloTest
