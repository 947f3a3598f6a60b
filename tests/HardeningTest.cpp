// Whatever the core and the game hand the adapter: huge texts, every byte value, invalid UTF-8,
// and results delivered from many threads while the game registers again and again.
#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "JsonResultWriter.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

namespace StandIn = Corvan::Velo::StandIn;
namespace Velo = Corvan::Velo;

class HardeningTest : public BridgeTest {};

std::string EveryNonZeroByte() {
    std::string text;
    for (int byte = 1; byte <= 0xFF; ++byte) {
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

TEST_F(HardeningTest, AMebibyteTextReachesTheCoreWhole) {
    std::string text(1 << 20, 'x');
    for (std::size_t i = 0; i < text.size(); i += 4097) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    callJSAdapter(text.c_str());
    ExpectSingleCall("CallJS", {T(text)});
}

TEST_F(HardeningTest, AMebibyteResultIsDeliveredWholeAndReadsBack) {
    Velo::VeloWebViewRet ret;
    ret.msgJsonData = std::string(1 << 20, '"');
    ret.embedUrl = std::string(1 << 20, '\n');
    ASSERT_TRUE(StandIn::FireWebViewResult(ret));
    const nlohmann::json json = nlohmann::json::parse(OnlyDelivery(0));
    EXPECT_EQ(json.at("msgJsonData").get<std::string>(), ret.msgJsonData);
    EXPECT_EQ(json.at("embedUrl").get<std::string>(), ret.embedUrl);
}

TEST_F(HardeningTest, ATextTooLongForTheWriterDropsTheResultRatherThanOverrunningIt) {
    // Past this length RapidJSON's 32-bit count of the room a string may need wraps around.
    Velo::VeloBaseRet ret;
    ret.msg.assign(Corvan::Velo::Bridge::JsonResultWriter::kLongestText + 1, 'x');
    ASSERT_TRUE(StandIn::FireBaseResult(ret));
    EXPECT_TRUE(Deliveries().empty());
    ret.msg.resize(16);
    ASSERT_TRUE(StandIn::FireBaseResult(ret));
    EXPECT_EQ(Deliveries().size(), 1u);
}

TEST_F(HardeningTest, EveryByteValueReachesTheCoreUnchanged) {
    const std::string text = EveryNonZeroByte();
    setInstallChannelAdapter(text.c_str());
    ExpectSingleCall("SetInstallChannel", {T(text)});
}

TEST_F(HardeningTest, InvalidUtf8PassesThroughResultsByteForByte) {
    // Bytes 0x80 to 0xFF alone are no UTF-8: they are written as they are, never checked.
    Velo::VeloBaseRet ret;
    ret.msg = EveryNonZeroByte();
    ASSERT_TRUE(StandIn::FireBaseResult(ret));
    const std::string text = OnlyDelivery(0);
    EXPECT_NE(text.find(EveryNonZeroByte().substr(0x7E)), std::string::npos);
    EXPECT_NE(text.find(R"(\u001F !\"#$%&'()*+,-./0123456789:;<=>?@)"), std::string::npos);
}

TEST_F(HardeningTest, ReturnedTextsKeepEveryByte) {
    StandIn::SetEncodeUrlAnswer(EveryNonZeroByte());
    EXPECT_EQ(Take(getEncodeUrlAdapter("")), EveryNonZeroByte());
}

// Deliveries from several core threads while the game thread registers one callback after the
// other: every text arrives complete at one of the two callbacks.
std::atomic<int> g_toFirst{0};
std::atomic<int> g_toSecond{0};
std::atomic<int> g_broken{0};

void Check(int methodNameID, const char* json) {
    const nlohmann::json parsed = nlohmann::json::parse(json, nullptr, false);
    if (parsed.is_discarded() || parsed.value("methodNameID", -1) != methodNameID) {
        g_broken.fetch_add(1);
    }
}
void First(int methodNameID, const char* json) {
    Check(methodNameID, json);
    g_toFirst.fetch_add(1);
}
void Second(int methodNameID, const char* json) {
    Check(methodNameID, json);
    g_toSecond.fetch_add(1);
}

TEST_F(HardeningTest, ConcurrentDeliveriesAndRegistrationsLoseAndCorruptNothing) {
    constexpr int kPerThread = 300;
    g_toFirst = g_toSecond = g_broken = 0;
    setUnityCallback(&First);
    std::atomic<bool> firing{true};
    std::thread registrar([&] {
        for (int i = 0; firing.load(); ++i) {
            setUnityCallback(i % 2 == 0 ? &Second : &First);
        }
    });
    std::vector<std::thread> core;
    core.emplace_back([] {
        Velo::VeloLoginRet ret;
        ret.methodNameID = 1;
        ret.bind_list = R"([{"a":1}])";
        for (int i = 0; i < kPerThread; ++i) StandIn::FireLoginResult(ret);
    });
    core.emplace_back([] {
        Velo::VeloAccountRet ret;
        ret.methodNameID = 2;
        ret.user_name = "name \"quoted\"";
        for (int i = 0; i < kPerThread; ++i) StandIn::FireAccountResult(ret);
    });
    core.emplace_back([] {
        Velo::VeloNoticeRet ret;
        ret.methodNameID = 3;
        ret.notice_list.resize(3);
        ret.notice_list[1].notice_pic_list.resize(2);
        for (int i = 0; i < kPerThread; ++i) StandIn::FireNoticeResult(ret);
    });
    core.emplace_back([] {
        Velo::VeloWebViewRet ret;
        ret.methodNameID = 4;
        ret.embedProgress = 0.5f;
        for (int i = 0; i < kPerThread; ++i) StandIn::FireWebViewResult(ret);
    });
    for (std::thread& thread : core) {
        thread.join();
    }
    firing = false;
    registrar.join();
    EXPECT_EQ(g_broken.load(), 0);
    EXPECT_EQ(g_toFirst.load() + g_toSecond.load(), 4 * kPerThread);
}

}  // namespace
}  // namespace VeloTest
