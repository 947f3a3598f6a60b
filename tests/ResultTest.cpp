// Every kind of result, and the login snapshot, as exact JSON texts; texts returned to the caller;
// the observers the installers give the core.
#include <climits>
#include <cstring>
#include <limits>

#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

const char kDefaultLoginMembers[] =
    R"("openid":"","token":"","token_expire_time":0,"first":0,"reg_channel_dis":"",)"
    R"("user_name":"","gender":0,"birthdate":"","picture_url":"","pf":"","pfKey":"",)"
    R"("need_name_auth":false,"channelid":0,"channel":"","channel_info":"","confirm_code":"",)"
    R"("confirm_code_expire_time":0,"bind_list":"")";

const char kDistinctiveEnvelope[] =
    "{\"methodNameID\":1001,\"retCode\":-3,\"retMsg\":\"msg \\\"one\\\"\",\"ret\":17,"
    "\"msg\":\"second\\tmessage\",\"extraJson\":\"{\\\"extra\\\":true}\"";

const char kDistinctiveLoginMembers[] =
    "\"openid\":\"open-1\",\"token\":\"tok\\\\en\",\"token_expire_time\":4102444800,"
    "\"first\":1,\"reg_channel_dis\":\"reg\",\"user_name\":\"\xE5\xA4\xAA\xE9\x83\x8E\","
    "\"gender\":2,\"birthdate\":\"1990-01-02\",\"picture_url\":\"https://p/x.png\","
    "\"pf\":\"pf-v\",\"pfKey\":\"pf-key\",\"need_name_auth\":true,\"channelid\":-7,"
    "\"channel\":\"Guest\",\"channel_info\":\"{\\\"c\\\":1}\",\"confirm_code\":\"c0de\","
    "\"confirm_code_expire_time\":-300,"
    "\"bind_list\":\"[{\\\"channelid\\\":3},{\\\"channelid\\\":5}]\"";

const char kZeroEnvelope[] =
    R"({"methodNameID":0,"retCode":0,"retMsg":"","ret":0,"msg":"","extraJson":"",)";

template <class Record>
Record Envelope(int methodNameID, int retCode, const char* retMsg, int ret, const char* msg,
                const char* extraJson) {
    Record record;
    record.methodNameID = methodNameID;
    record.retCode = retCode;
    record.retMsg = retMsg;
    record.ret = ret;
    record.msg = msg;
    record.extraJson = extraJson;
    return record;
}

Velo::VeloLoginRet DistinctiveLogin() {
    auto ret = Envelope<Velo::VeloLoginRet>(1001, -3, "msg \"one\"", 17, "second\tmessage",
                                            R"({"extra":true})");
    ret.openid = "open-1";
    ret.token = "tok\\en";
    ret.token_expire_time = 4102444800LL;
    ret.first = 1;
    ret.reg_channel_dis = "reg";
    ret.user_name = "\xE5\xA4\xAA\xE9\x83\x8E";
    ret.gender = 2;
    ret.birthdate = "1990-01-02";
    ret.picture_url = "https://p/x.png";
    ret.pf = "pf-v";
    ret.pfKey = "pf-key";
    ret.need_name_auth = true;
    ret.channelid = -7;
    ret.channel = "Guest";
    ret.channel_info = R"({"c":1})";
    ret.confirm_code = "c0de";
    ret.confirm_code_expire_time = -300;
    ret.bind_list = R"([{"channelid":3},{"channelid":5}])";
    return ret;
}

Velo::VeloAccountRet DistinctiveAccount() {
    auto ret = Envelope<Velo::VeloAccountRet>(205, 1, "r", -2, "m", R"({"x":"y"})");
    ret.channelID = INT_MIN;
    ret.channel = "Mail";
    ret.seq = "s-1";
    ret.user_name = "\xE5\xA4\xAA";
    ret.uid = "u\"1";
    ret.token = "tk";
    ret.expiretime = "2026-12-31";
    ret.is_register = 1;
    ret.isset_pwd = 2;
    ret.is_receive_email = 3;
    ret.expire_time = 60;
    return ret;
}

Velo::VeloNoticeRet TwoNotices() {
    auto ret = Envelope<Velo::VeloNoticeRet>(301, 0, "ok", 0, "line\nfeed", R"({"page":1})");
    Velo::VeloNoticeInfo first;
    first.notice_id = 1;
    first.notice_type = 2;
    first.notice_group = "g\\1";
    first.start_time = INT_MIN;
    first.end_time = INT_MAX;
    first.update_time = -5;
    first.order = 3;
    first.content_type = 4;
    first.language = "ja";
    first.notice_text_obj = {"Title \"A\"", "Body\r\n\x01\x1F \xE6\x97\xA5", "https://r/a"};
    first.notice_pic_list = {{"https://p/a.png", "ha", "t\"a\"", "12", 2},
                             {"https://p/b.png", "hb", "t\"b\"", "12", -1}};
    first.notice_web_url = "https://w/a";
    first.extra_data = R"({"k":["v"]})";
    Velo::VeloNoticeInfo second;
    second.notice_id = 9;
    second.notice_web_url = "https://w/b";
    ret.notice_list = {first, second};
    return ret;
}

Velo::VeloWebViewRet Event(float progress) {
    auto ret = Envelope<Velo::VeloWebViewRet>(401, 0, "", 0, "", "");
    ret.msgType = -1;
    ret.embedProgress = progress;
    return ret;
}

std::string EventText(const std::string& progress, const std::string& texts = R"("msgJsonData":"")",
                      const std::string& url = "") {
    return R"({"methodNameID":401,"retCode":0,"retMsg":"","ret":0,"msg":"","extraJson":"",)"
           R"("msgType":-1,)" +
           texts + R"(,"embedProgress":)" + progress + R"(,"embedUrl":")" + url + R"("})";
}

// The one text a result of `methodNameID` delivers.
template <class Record>
std::function<std::string()> Fired(bool (*fire)(const Record&), Record record) {
    return [fire, record] {
        EXPECT_TRUE(fire(record));
        const std::vector<Delivery> deliveries = Deliveries();
        EXPECT_EQ(deliveries.size(), 1u);
        EXPECT_EQ(deliveries.empty() ? 0 : deliveries.front().methodNameID, record.methodNameID);
        return deliveries.empty() ? std::string() : deliveries.front().json;
    };
}

// The login snapshot while the core answers with `answer`.
std::function<std::string()> Snapshot(std::function<bool(Velo::VeloLoginRet&)> answer) {
    return [answer] {
        if (answer) {
            StandIn::SetLoginRetAnswer(answer);
        }
        char* text = getLoginRetAdapter();
        EXPECT_NE(text, nullptr);
        const std::string copy = text != nullptr ? text : "";
        releaseTextAdapter(text);
        return copy;
    };
}

struct ResultCase {
    const char* name;
    std::function<std::string()> produce;
    std::string expected;
};

void PrintTo(const ResultCase& c, std::ostream* os) {
    *os << c.name;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

std::vector<ResultCase> Results() {
    using StandIn::FireAccountResult;
    using StandIn::FireBaseResult;
    using StandIn::FireNoticeResult;
    using StandIn::FireWebViewResult;
    auto qr = Envelope<Velo::VeloQrCodeRet>(12, 0, "ok", 1, "scan", R"({"never":"written"})");
    qr.channelID = 9;
    qr.channel = "QR";
    qr.qrCodeUrl = "https://q/r?a=1&b=2";
    auto message = Event(0.5f);
    message.msgJsonData = "{\"cmd\":\"close\",\"nl\":\"a\nb\"}";
    message.embedUrl = "https://h/p?q=\"1\"";
    auto cut = Envelope<Velo::VeloBaseRet>(INT_MIN, INT_MIN, "", INT_MAX, "", "");
    cut.retMsg = std::string("ok\0hidden", 9);
    auto partial = [](Velo::VeloLoginRet& ret) {
        ret.openid = "partial";
        ret.token_expire_time = 5;
        return false;
    };
    std::string partialText = std::string("{") + kDefaultLoginMembers + "}";
    partialText.replace(partialText.find(R"("openid":"")"), 11, R"("openid":"partial")");
    partialText.replace(partialText.find("expire_time\":0"), 14, "expire_time\":5");
    std::vector<ResultCase> cases = {
        {"LoginDistinctive", Fired(&StandIn::FireLoginResult, DistinctiveLogin()),
         std::string(kDistinctiveEnvelope) + "," + kDistinctiveLoginMembers + "}"},
        {"BaseOnlyTheEnvelope",
         Fired(&FireBaseResult, static_cast<Velo::VeloBaseRet>(DistinctiveLogin())),
         std::string(kDistinctiveEnvelope) + "}"},
        {"BaseCutAtZeroWithIntegerLimits", Fired(&FireBaseResult, cut),
         R"({"methodNameID":-2147483648,"retCode":-2147483648,"retMsg":"ok",)"
         R"("ret":2147483647,"msg":"","extraJson":""})"},
        {"QrCodeWithoutExtraJson", Fired(&StandIn::FireQrCodeResult, qr),
         R"({"methodNameID":12,"retCode":0,"retMsg":"ok","ret":1,"msg":"scan",)"
         R"("channelID":9,"channel":"QR","qrCodeUrl":"https://q/r?a=1&b=2"})"},
        {"AccountDistinctive", Fired(&FireAccountResult, DistinctiveAccount()),
         "{\"methodNameID\":205,\"retCode\":1,\"retMsg\":\"r\",\"ret\":-2,\"msg\":\"m\","
         "\"extraJson\":\"{\\\"x\\\":\\\"y\\\"}\",\"channelID\":-2147483648,"
         "\"channel\":\"Mail\",\"seq\":\"s-1\",\"user_name\":\"\xE5\xA4\xAA\","
         "\"uid\":\"u\\\"1\",\"token\":\"tk\",\"expiretime\":\"2026-12-31\","
         "\"expire_time\":60,\"is_register\":1,\"isset_pwd\":2,\"is_receive_email\":3}"},
        {"NoticeEmpty",
         Fired(&FireNoticeResult, Envelope<Velo::VeloNoticeRet>(0, 0, "", 0, "", "")),
         std::string(kZeroEnvelope) + R"("notice_list":[]})"},
        {"NoticeTwoEscapedAtEveryDepth", Fired(&FireNoticeResult, TwoNotices()),
         "{\"methodNameID\":301,\"retCode\":0,\"retMsg\":\"ok\",\"ret\":0,\"msg\":\"line\\nfeed\","
         "\"extraJson\":\"{\\\"page\\\":1}\",\"notice_list\":["
         "{\"notice_id\":1,\"notice_type\":2,\"notice_group\":\"g\\\\1\","
         "\"start_time\":-2147483648,\"end_time\":2147483647,\"update_time\":-5,\"order\":3,"
         "\"content_type\":4,\"language\":\"ja\",\"notice_text_obj\":{\"notice_title\":"
         "\"Title \\\"A\\\"\",\"notice_content\":\"Body\\r\\n\\u0001\\u001F \xE6\x97\xA5\","
         "\"notice_redirect_url\":\"https://r/a\"},\"notice_pic_list\":["
         "{\"pic_url\":\"https://p/a.png\",\"pic_hash\":\"ha\",\"pic_title\":\"t\\\"a\\\"\","
         "\"pic_size\":\"12\",\"pic_dir\":2},"
         "{\"pic_url\":\"https://p/b.png\",\"pic_hash\":\"hb\",\"pic_title\":\"t\\\"b\\\"\","
         "\"pic_size\":\"12\",\"pic_dir\":-1}],"
         "\"notice_web_url\":\"https://w/a\",\"extra_data\":\"{\\\"k\\\":[\\\"v\\\"]}\"},"
         "{\"notice_id\":9,\"notice_type\":0,\"notice_group\":\"\",\"start_time\":0,"
         "\"end_time\":0,\"update_time\":0,\"order\":0,\"content_type\":0,\"language\":\"\","
         "\"notice_text_obj\":{\"notice_title\":\"\",\"notice_content\":\"\","
         "\"notice_redirect_url\":\"\"},\"notice_pic_list\":[],"
         "\"notice_web_url\":\"https://w/b\",\"extra_data\":\"\"}]}"},
        {"WebViewMessage", Fired(&FireWebViewResult, message),
         EventText("0.5", R"("msgJsonData":"{\"cmd\":\"close\",\"nl\":\"a\nb\"}")",
                   R"(https://h/p?q=\"1\")")},
        {"SnapshotUntouched", Snapshot(nullptr), std::string("{") + kDefaultLoginMembers + "}"},
        {"SnapshotDistinctive", Snapshot([](Velo::VeloLoginRet& ret) {
             ret = DistinctiveLogin();
             return true;
         }),
         std::string("{") + kDistinctiveLoginMembers + "}"},
        {"SnapshotOfAFailedAnswerAsFilled", Snapshot(partial), partialText},
    };
    // The progress is the shortest text that reads back as the float's value; JSON has no
    // non-finite numbers.
    const std::pair<float, const char*> progress[] = {{0.0f, "0.0"},
                                                      {1.0f, "1.0"},
                                                      {0.25f, "0.25"},
                                                      {0.1f, "0.10000000149011612"},
                                                      {0.7f, "0.699999988079071"},
                                                      {-0.0f, "-0.0"},
                                                      {1e-7f, "1.0000000116860974e-7"},
                                                      {kNaN, "null"},
                                                      {kInfinity, "null"},
                                                      {-kInfinity, "null"}};
    int n = 0;
    for (const auto& [value, text] : progress) {
        static const char* const names[] = {"Zero",        "One",          "Quarter", "Tenth",
                                            "SevenTenths", "NegativeZero", "Tiny",    "NaN",
                                            "Infinity",    "MinusInfinity"};
        cases.push_back({names[n++], Fired(&FireWebViewResult, Event(value)), EventText(text)});
    }
    return cases;
}

class ResultTest : public BridgeTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ResultTest, ExactText) {
    EXPECT_EQ(GetParam().produce(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ResultTest, ::testing::ValuesIn(Results()),
                         [](const ::testing::TestParamInfo<ResultCase>& info) {
                             return std::string(info.param.name);
                         });

// The three text exports hand out a fresh buffer each call, valid until released; a zero byte in
// the core's answer ends the text, with zeros after it.
TEST_F(BridgeTest, ReturnedTextsAreDistinctBuffersTheCallerOwns) {
    StandIn::SetNoticeDataAnswer(std::string("ab\0cd", 5));
    StandIn::SetEncodeUrlAnswer(std::string());
    const std::function<char*()> exports[] = {
        [] { return getLoginRetAdapter(); }, [] { return getEncodeUrlAdapter("x"); },
        [] { return loadNoticeDataAdapter("", "", 0, "", ""); }};
    for (const auto& call : exports) {
        char* first = call();
        char* second = call();
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        EXPECT_NE(first, second);
        const std::string expected(second, std::strlen(second) + 1);
        releaseTextAdapter(first);
        EXPECT_EQ(std::string(second, expected.size()), expected);
        releaseTextAdapter(second);
    }
    char* notice = loadNoticeDataAdapter("", "", 0, "", "");
    EXPECT_EQ(std::memcmp(notice, "ab\0\0\0\0", 6), 0);
    releaseTextAdapter(notice);
    EXPECT_EQ(Take(getEncodeUrlAdapter("x")), "");
}

// Each installer call, and each registration, gives the core a new observer; the web view's
// installer logs one line.
TEST_F(BridgeTest, InstallersGiveTheCoreANewObserverEachCall) {
    using Kind = StandIn::ObserverKind;
    const std::pair<Kind, void (*)()> installers[] = {{Kind::Login, &setLoginObserverAdapter},
                                                      {Kind::Account, &setAccountObserverAdapter},
                                                      {Kind::Notice, &setNoticeObserverAdapter},
                                                      {Kind::WebView, &setWebViewObserverAdapter}};
    for (const auto& [kind, install] : installers) {
        const auto before = StandIn::Observers(kind);
        install();
        setUnityCallback(&CaptureCallback);
        const auto after = StandIn::Observers(kind);
        ASSERT_EQ(after.size(), before.size() + 2);
        EXPECT_NE(after[after.size() - 1], after[after.size() - 2]);
        EXPECT_NE(after[after.size() - 2], before.back());
    }
    const auto lines = StandIn::LogLines();
    ASSERT_EQ(lines.size(), 5u);
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

}  // namespace
}  // namespace VeloTest
