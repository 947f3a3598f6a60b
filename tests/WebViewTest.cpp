// Web view requests reach VeloWebView in place; encoded URLs; web view events as exact JSON.
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "support/RequestCase.h"

namespace VeloTest {
namespace {

using Corvan::Velo::VeloWebViewRet;
namespace StandIn = Corvan::Velo::StandIn;

class WebViewRequestTest : public RequestTest {};

TEST_P(WebViewRequestTest, ArgumentsReachTheirPositionsAndCopiesAreFreed) {
    CheckRequest();
}

INSTANTIATE_TEST_SUITE_P(
    Exports, WebViewRequestTest,
    ::testing::Values(
        RequestCase{"OpenUrl",
                    [] { openUrlAdapter("u1", -2, true, false, "t5", true); },
                    "OpenUrl",
                    {T("u1"), I(-2), F(true), F(false), T("t5"), F(true)}},
        RequestCase{"OpenUrlNullFirst",
                    [] { openUrlAdapter(nullptr, 2, false, true, Utf8Text().c_str(), false); },
                    "OpenUrl",
                    {T(""), I(2), F(false), F(true), T(Utf8Text()), F(false)}},
        RequestCase{"GetEncodeUrl",
                    [] { releaseTextAdapter(getEncodeUrlAdapter("a b")); },
                    "GetEncodeUrl",
                    {T("a b")}},
        RequestCase{"CallJS", [] { callJSAdapter("f(\"x\")"); }, "CallJS", {T("f(\"x\")")}},
        RequestCase{"OpenOxaCenter",
                    [] { openOxaCenterAdapter("t1", "t2", "t3", "t4", "t5", "t6", -7, nullptr); },
                    "OpenOxaCenter",
                    {T("t1"), T("t2"), T("t3"), T("t4"), T("t5"), T("t6"), I(-7), T("")}},
        RequestCase{"OpenDeleteAccountUrl",
                    [] { openDeleteAccountUrlAdapter("t1", 2, true, "t4"); },
                    "OpenDeleteAccountUrl",
                    {T("t1"), I(2), F(true), T("t4")}},
        RequestCase{"OpenDeleteAccountUrlFalse",
                    [] { openDeleteAccountUrlAdapter("", -2, false, nullptr); },
                    "OpenDeleteAccountUrl",
                    {T(""), I(-2), F(false), T("")}},
        RequestCase{"Close", [] { closeAdapter(); }, "Close", {}}),
    RequestCaseName);

class WebViewTest : public BridgeTest {};

VeloWebViewRet Event(float progress) {
    VeloWebViewRet ret;
    ret.methodNameID = 401;
    ret.retCode = 0;
    ret.ret = 0;
    ret.msgType = -1;
    ret.embedProgress = progress;
    return ret;
}

std::string EventText(const std::string& progress) {
    return R"({"methodNameID":401,"retCode":0,"retMsg":"","ret":0,"msg":"","extraJson":"",)"
           R"("msgType":-1,"msgJsonData":"","embedProgress":)" +
           progress + R"(,"embedUrl":""})";
}

struct ProgressCase {
    const char* name;
    float progress;
    const char* written;
};

void PrintTo(const ProgressCase& c, std::ostream* os) {
    *os << c.name;
}

class WebViewProgressTest : public BridgeTest,
                            public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(WebViewProgressTest, EventHasTenMembersWithTheProgressWritten) {
    ASSERT_TRUE(StandIn::FireWebViewResult(Event(GetParam().progress)));
    const std::string text = OnlyDelivery(401);
    EXPECT_EQ(text, EventText(GetParam().written));
    EXPECT_TRUE(nlohmann::json::accept(text));
}

INSTANTIATE_TEST_SUITE_P(
    Progress, WebViewProgressTest,
    ::testing::Values(ProgressCase{"Zero", 0.0f, "0.0"}, ProgressCase{"One", 1.0f, "1.0"},
                      ProgressCase{"Quarter", 0.25f, "0.25"},
                      ProgressCase{"Tenth", 0.1f, "0.10000000149011612"},
                      ProgressCase{"SevenTenths", 0.7f, "0.699999988079071"},
                      ProgressCase{"NegativeZero", -0.0f, "-0.0"},
                      ProgressCase{"Tiny", 1e-7f, "1.0000000116860974e-7"},
                      ProgressCase{"NaN", std::numeric_limits<float>::quiet_NaN(), "null"},
                      ProgressCase{"Infinity", std::numeric_limits<float>::infinity(), "null"},
                      ProgressCase{"MinusInfinity", -std::numeric_limits<float>::infinity(),
                                   "null"}),
    [](const ::testing::TestParamInfo<ProgressCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(WebViewTest, JsonMessageIsDeliveredAsAStringThatReadsBackByteForByte) {
    VeloWebViewRet ret = Event(0.5f);
    ret.msgJsonData = "{\"cmd\":\"close\",\"args\":[1,\"\\u00e9\"],\"nl\":\"a\nb\"}";
    ret.embedUrl = "https://h/p?q=\"1\"";
    ASSERT_TRUE(StandIn::FireWebViewResult(ret));
    const nlohmann::json json = nlohmann::json::parse(OnlyDelivery(401));
    EXPECT_EQ(json.size(), 10u);
    EXPECT_EQ(json.at("msgJsonData").get<std::string>(), ret.msgJsonData);
    EXPECT_EQ(json.at("embedUrl").get<std::string>(), ret.embedUrl);
    EXPECT_EQ(json.at("methodNameID"), 401);
}

TEST_F(WebViewTest, InstallerLogsItsLineAndInstallsANewObserverEachTime) {
    const auto before = StandIn::Observers(StandIn::ObserverKind::WebView).size();
    setWebViewObserverAdapter();
    setWebViewObserverAdapter();
    const auto observers = StandIn::Observers(StandIn::ObserverKind::WebView);
    ASSERT_EQ(observers.size(), before + 2);
    EXPECT_NE(observers[observers.size() - 1], observers[observers.size() - 2]);
    const auto lines = StandIn::LogLines();
    ASSERT_EQ(lines.size(), 2u);
    for (const StandIn::LogLine& line : lines) {
        EXPECT_EQ(line.level, 0);
        EXPECT_EQ(line.function, "setWebViewObserverAdapter");
        EXPECT_EQ(line.line, 35);
        EXPECT_EQ(line.format, "setWebViewObserver");
        EXPECT_EQ(line.message, "setWebViewObserver");
        // The compile-time path, which builds write relative to the repository (after its last
        // backslash, were it a Windows path).
        EXPECT_EQ(line.file, "VeloUnityAdapter/UnityBridge/VeloUnityWebView.cpp");
    }
}

TEST_F(WebViewTest, EncodeUrlReturnsTheCoreAnswerInDistinctBuffers) {
    char* first = getEncodeUrlAdapter("https://h/a b?c=\xC3\xA9");
    char* second = getEncodeUrlAdapter("https://h/a b?c=\xC3\xA9");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_STREQ(first, "https%3A%2F%2Fh%2Fa%20b%3Fc%3D%C3%A9");
    releaseTextAdapter(first);
    EXPECT_STREQ(second, "https%3A%2F%2Fh%2Fa%20b%3Fc%3D%C3%A9");
    releaseTextAdapter(second);
}

TEST_F(WebViewTest, EncodeUrlOfANullUrlSendsAnEmptyStringAndCopiesTheAnswer) {
    StandIn::SetEncodeUrlAnswer(std::string("from-core"));
    EXPECT_EQ(Take(getEncodeUrlAdapter(nullptr)), "from-core");
    ExpectSingleCall("GetEncodeUrl", {T("")});
}

TEST_F(WebViewTest, EncodeUrlOfAnEmptyAnswerReturnsAOneByteText) {
    StandIn::SetEncodeUrlAnswer(std::string());
    char* text = getEncodeUrlAdapter("x");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], '\0');
    releaseTextAdapter(text);
}

}  // namespace
}  // namespace VeloTest
