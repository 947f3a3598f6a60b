// Scenarios: the stand-in answers as a scenario file scripts it, at its times on the core's
// clock (a manual one here, so that no test waits), refuses a bad file whole with its place and
// keeps playing the one before, and replays a recorded session byte for byte.
#include <climits>
#include <cstdio>
#include <mutex>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "VeloStandInC.h"
#include "VeloStandInScenarioC.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

class ScenarioTest : public BridgeTest {
  protected:
    void SetUp() override {
        BridgeTest::SetUp();
        veloStandInSetManualClock(true);
    }

    static void Play(const std::string& scenario) {
        ASSERT_TRUE(veloStandInPlayScenario(scenario.c_str(), "test.json")) << StandInLastError();
    }
    static void Advance(long long milliseconds) {
        ASSERT_TRUE(veloStandInAdvanceClock(milliseconds)) << StandInLastError();
    }
    // The method numbers delivered since the fixture began.
    static std::vector<int> Delivered() {
        std::vector<int> ids;
        for (const Delivery& delivery : Deliveries()) {
            ids.push_back(delivery.methodNameID);
        }
        return ids;
    }
    // Opens the file at `path` (UTF-8) for writing bytes.
    static std::FILE* Create(const std::string& path) {
        std::FILE* file = nullptr;
#if defined(_WIN32)
        wchar_t wide[MAX_PATH];
        MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide, MAX_PATH);
        _wfopen_s(&file, wide, L"wb");
#else
        file = std::fopen(path.c_str(), "wb");
#endif
        EXPECT_NE(file, nullptr) << path;
        return file;
    }
    // Writes `text` to the file `name` of the test's folder; returns its path.
    static std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = ::testing::TempDir() + name;
        if (std::FILE* file = Create(path)) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        return path;
    }
};

TEST_F(ScenarioTest, RulesAnswerAtTheirTimesInOrderTheFirstMatchWinning) {
    Play(R"({
  "scenario": 1,
  "rules": [
    {"operation": "VeloLogin.Login", "args": ["Mail", null, null, "once"], "times": 1,
     "answer": [{"delayMs": 300, "kind": "login",
                 "record": {"methodNameID": 1, "retCode": 1001, "retMsg": "wrong password"}}]},
    {"operation": "VeloLogin.Login", "args": ["Mail"],
     "answer": [{"delayMs": 100, "kind": "login",
                 "record": {"methodNameID": 2, "retCode": 0, "user_name": "Ada"}}]},
    {"operation": "VeloWebView.OpenUrl", "args": [null, 7, true],
     "answer": [{"delayMs": 50, "kind": "webview", "record": {"methodNameID": 3}},
                {"delayMs": 50, "kind": "webview", "record": {"methodNameID": 4}}]},
    {"operation": "VeloLogin.AutoLogin", "answer": "drop"},
    {"operation": "VeloLogin.GetLoginRet", "times": 1, "answer": "refuse"},
    {"operation": "VeloTools.SetRegion", "args": ["EU", "DE"],
     "answer": [{"kind": "base", "record": {"methodNameID": 5}}]}
  ]
})");
    loginAdapter("Mail", "pw", "", "once");           // the first rule, once
    loginAdapter("Mail", "pw", "", "once");           // then the second
    loginAdapter("Guest", "pw", "", "");              // no rule: as answering mode answers (20 ms)
    openUrlAdapter("u", 7, false, false, "", false);  // not the rule's flag: answering mode too
    openUrlAdapter("u", 7, true, false, "", false);
    autoLoginAdapter();                   // dropped
    setRegionAdapter(nullptr, "DE", "");  // a null C text matches no text
    setRegionAdapter("EU", "DE", "");
    EXPECT_EQ(getLoginRetAdapter(), nullptr) << "refused: the operation threw";
    EXPECT_EQ(veloStandInCallCount(), 9);

    Advance(0);
    EXPECT_EQ(Delivered(), (std::vector<int>{5}));
    Advance(20);
    EXPECT_EQ(Delivered(), (std::vector<int>{5, 101, 401, 401}));
    Advance(30);
    EXPECT_EQ(Delivered(), (std::vector<int>{5, 101, 401, 401, 3}));
    Advance(50);  // 100 ms: the second rule's answer, then the one queued after it
    EXPECT_EQ(Delivered(), (std::vector<int>{5, 101, 401, 401, 3, 2, 4}));
    EXPECT_EQ(Deliveries()[5].json,
              R"({"methodNameID":2,"retCode":0,"retMsg":"","ret":-1,"msg":"","extraJson":"",)"
              R"("openid":"","token":"","token_expire_time":0,"first":0,"reg_channel_dis":"",)"
              R"("user_name":"Ada","gender":0,"birthdate":"","picture_url":"","pf":"",)"
              R"("pfKey":"","need_name_auth":false,"channelid":0,"channel":"",)"
              R"("channel_info":"","confirm_code":"","confirm_code_expire_time":0,)"
              R"("bind_list":""})");
    Advance(3600000);
    EXPECT_EQ(Delivered(), (std::vector<int>{5, 101, 401, 401, 3, 2, 4, 1}));
    // The successful login is the session's; the failed one after it is not.
    EXPECT_NE(Take(getLoginRetAdapter()).find(R"("user_name":"Ada")"), std::string::npos);
}

TEST_F(ScenarioTest, UnmatchedRequestsAndTheTextsReturnedAtOnceFollowTheScenario) {
    Play(R"({"scenario": 1, "unmatched": "drop",
             "loginRet": {"openid": "o-1", "user_name": "Bo"},
             "noticeData": "{\"scripted\":true}", "encodeUrl": "enc",
             "rules": [{"operation": "VeloWebView.GetEncodeUrl", "args": ["a b"],
                        "answer": "drop", "returns": "a%20b!"}]})");
    canBindAdapter("", "", "");
    EXPECT_EQ(Take(getEncodeUrlAdapter("a b")), "a%20b!");
    EXPECT_EQ(Take(getEncodeUrlAdapter("c")), "enc");
    EXPECT_EQ(Take(loadNoticeDataAdapter("", "", 0, "", "")), R"({"scripted":true})");
    EXPECT_NE(Take(getLoginRetAdapter()).find(R"("openid":"o-1")"), std::string::npos);
    Advance(1000);
    EXPECT_TRUE(Deliveries().empty());

    Play(R"({"scenario": 1, "unmatched": "refuse",
             "rules": [{"operation": "VeloLogin.GetLoginRet", "answer": "drop"}]})");
    EXPECT_EQ(getEncodeUrlAdapter("a b"), nullptr);
    EXPECT_EQ(Take(getLoginRetAdapter()).find("o-1"), std::string::npos) << "a new session";

    veloStandInStopScenario();
    EXPECT_EQ(Take(getEncodeUrlAdapter("a b")), "a%20b") << "the stand-in's own answer again";
    canBindAdapter("", "", "");
    Advance(1000);
    EXPECT_TRUE(Deliveries().empty()) << "not in answering mode";
}

TEST_F(ScenarioTest, ABadFileIsRefusedWithItsPlaceAndThePreviousScenarioPlaysOn) {
    Play(R"({"scenario": 1, "rules": [{"operation": "VeloLogin.AutoLogin",
             "answer": [{"kind": "base", "record": {"methodNameID": 7}}]}]})");
    const std::string deep = std::string(70, '[') + std::string(70, ']');
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\"",
         "test.json:1:58: not JSON: Missing a comma or '}' after an object member."},
        {"scenario: 1", "test.json:1:1: not JSON: Invalid value."},
        {"", "test.json:1:1: not JSON: The document is empty."},
        {"{\"scenario\": 2}",
         "test.json:1:14: expected \"scenario\": 1, the version of the format this stand-in "
         "plays, found the number 2"},
        {"{\"scenario\": 1,\n \"rules\": [\n  {\"operation\": \"VeloLogin.Logon\", "
         "\"answer\": \"drop\"}]}",
         "test.json:3:17: in rules[0]: \"operation\": expected one of the core's operations, "
         "named as \"VeloLogin.Login\", found \"VeloLogin.Logon\""},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\",\n"
         "  \"answer\": [{\"kind\": \"logon\"}]}]}",
         "test.json:2:23: in rules[0].answer[0]: \"kind\": unknown kind of result 'logon' "
         "(login, base, qrcode, account, notice or webview)"},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\",\n"
         "  \"answer\": [{\"kind\": \"login\", \"delayMs\": \"300\"}]}]}",
         "test.json:2:43: in rules[0].answer[0]: \"delayMs\": expected a whole number of "
         "milliseconds from 0 to 3600000, found a text"},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\",\n"
         "  \"answer\": [{\"kind\": \"login\", \"record\": {\"retCode\": \"7\"}}]}]}",
         "test.json:2:54: in rules[0].answer[0].record: \"retCode\": expected a whole number "
         "from -2147483648 to 2147483647, found a text"},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloNotice.LoadNoticeData\",\n"
         "  \"answer\": [{\"kind\": \"notice\", \"record\": {\"notice_list\": "
         "[{\"notice_pic_list\":"
         " [{\"pic_dir\": 1.5}]}]}}]}]}",
         "test.json:2:93: in rules[0].answer[0].record: \"pic_dir\": expected a whole number "
         "from -2147483648 to 2147483647, found a number with a fraction or exponent"},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\", \"args\": [1],"
         " \"answer\": \"drop\"}]}",
         "test.json:1:69: in rules[0]: argument 1 of Login: expected a text or null (any), "
         "found the number 1"},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\", \"answer\": []}]}",
         "test.json:1:70: in rules[0]: \"answer\": expected a list of results, \"drop\" or "
         "\"refuse\", found a list"},
        {"{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.Login\", \"answer\": \"drop\","
         " \"delay\": 3}]}",
         "test.json:1:78: in rules[0]: \"delay\" is not a member here"},
        {"{\"scenario\": 1, \"rules\": {}}",
         "test.json:1:26: \"rules\": expected a list of rules, found an object"},
        {"{\"scenario\": 1, \"loginRet\": {\"extraJson\": " + deep + "}}",
         "test.json:1:105: nested deeper than 64 levels"},
        {"{\"scenario\": 1, \"loginRet\": {\"token_expire_time\": 6068882444418e306}}",
         "test.json:1:51: a number too large for a double"},
        {"{\"scenario\": 1, \"description\": \"\\udc00\"}",
         "test.json:1:32: an escaped half of a surrogate pair, which is no character"},
        {"{\"scenario\": 1, \"description\": \"\xC3\"}",
         "test.json:1:33: not JSON: Invalid encoding in string."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FALSE(veloStandInPlayScenario(c.text.c_str(), "test.json"));
        EXPECT_EQ(StandInLastError(), c.error);
    }

    const std::string missing = ::testing::TempDir() + "no-such-scenario.json";
    EXPECT_FALSE(veloStandInPlayScenarioFile(missing.c_str()));
    EXPECT_EQ(StandInLastError().rfind(missing + ": cannot be opened: ", 0), 0u)
        << StandInLastError();
    const std::string zero = WriteFile("zero.json", std::string("{\"scenario\": 1}\n\0", 17));
    EXPECT_FALSE(veloStandInPlayScenarioFile(zero.c_str()));
    EXPECT_EQ(StandInLastError(), zero + ":2:1: a zero byte, which JSON text cannot hold");
    // 100 MB, sparse: refused before any of it is read.
    const std::string huge = ::testing::TempDir() + "huge.json";
    if (std::FILE* file = Create(huge)) {
        std::fseek(file, 100000000 - 1, SEEK_SET);
        std::fputc(' ', file);
        std::fclose(file);
    }
    EXPECT_FALSE(veloStandInPlayScenarioFile(huge.c_str()));
    EXPECT_EQ(StandInLastError(),
              huge + ": 100000000 bytes, more than the 32 MiB a scenario may have");
    std::remove(huge.c_str());

    autoLoginAdapter();
    Advance(0);
    EXPECT_EQ(Delivered(), (std::vector<int>{7})) << "the first scenario still plays";
}

TEST_F(ScenarioTest, AScenarioFileIsReadByItsUtf8NameAndCheckingPlaysNothing) {
    const std::string path =
        WriteFile("sc\xC3\xA9nario.json",
                  "\xEF\xBB\xBF{\"scenario\": 1, \"rules\": [{\"operation\": "
                  "\"VeloLogin.AutoLogin\", \"answer\": [{\"kind\": \"base\"}]}]}");
    ASSERT_TRUE(veloStandInCheckScenarioFile(path.c_str())) << StandInLastError();
    autoLoginAdapter();
    Advance(1000);
    EXPECT_TRUE(Deliveries().empty()) << "checked, not played";
    ASSERT_TRUE(veloStandInPlayScenarioFile(path.c_str())) << StandInLastError();
    autoLoginAdapter();
    Advance(0);
    EXPECT_EQ(Delivered(), (std::vector<int>{0}));
    std::remove(path.c_str());
}

// The kind of result a delivered text is, by the first member after its envelope.
std::string KindOf(const std::string& json) {
    for (const auto& [member, kind] : {std::pair{"\"openid\"", "login"},
                                       {"\"qrCodeUrl\"", "qrcode"},
                                       {"\"seq\"", "account"},
                                       {"\"notice_list\"", "notice"},
                                       {"\"msgType\"", "webview"}}) {
        if (json.find(member) != std::string::npos) {
            return kind;
        }
    }
    return "base";
}

// The session as the game saw it: its requests and the results, in order, with their times.
struct Event {
    long long at;
    int methodNameID;  // -1 for a request
    std::string json;  // the result, or the request's operation
    bool operator==(const Event& other) const {
        return at == other.at && methodNameID == other.methodNameID && json == other.json;
    }
};
std::mutex g_eventMutex;
std::vector<Event> g_events;

void Log(int methodNameID, const char* json) {
    std::lock_guard<std::mutex> lock(g_eventMutex);
    g_events.push_back({veloStandInClockMilliseconds(), methodNameID, json});
}

TEST_F(ScenarioTest, ARecordedSessionReplaysByteForByteInOrderAtItsTimes) {
    setUnityCallback(&Log);
    g_events.clear();
    const std::vector<std::tuple<long long, const char*, std::function<void()>>> requests = {
        {0, "VeloLogin.Login", [] { loginAdapter("Guest", kUtf8.c_str(), "", "{\"a\":1}"); }},
        {25, "VeloAccount.RequestVerifyCode",
         [] { requestVerifyCodeAdapter("p@example.com", "Mail", 1, 60, "en", "", ""); }},
        {60, "VeloNotice.LoadNoticeData",
         [] { releaseTextAdapter(loadNoticeDataAdapter("game", "EU", 1, "en", "")); }},
        {90, "VeloWebView.OpenUrl",
         [] { openUrlAdapter("https://example.com/a b", 1, true, false, "", true); }},
        {95, "VeloWebView.Close", [] { closeAdapter(); }},
        {130, "VeloLogin.Logout", [] { logoutAdapter("Guest", "", false); }},
    };
    // Besides what answering mode answers, results fired after the requests, each kind's
    // members at their extremes.
    const std::vector<std::pair<const char*, std::string>> fired = {
        {"login",
         R"({"methodNameID":101,"retCode":-2147483648,"retMsg":"\"q\"\n\t\\ \u0001 )" + kUtf8 +
             R"(","token_expire_time":-9223372036854775808,"need_name_auth":true,)"
             R"("confirm_code_expire_time":9223372036854775807,"bind_list":"[{\"c\":3}]"})"},
        {"qrcode", R"({"methodNameID":111,"channelID":2147483647,"qrCodeUrl":"https://q/?t=1"})"},
        {"account", R"({"methodNameID":201,"expiretime":"60s","is_receive_email":-1})"},
        {"notice", R"({"methodNameID":301,"notice_list":[{"notice_id":1,"notice_text_obj":)"
                   R"({"notice_title":"T\"","notice_content":"line\nline"},"notice_pic_list":[)"
                   R"({"pic_url":"https://p/1.png","pic_dir":1},{"pic_size":"2x1"}]},{}]})"},
        {"webview", R"({"methodNameID":401,"embedProgress":0.1})"},
        {"webview", R"({"methodNameID":402,"embedProgress":null})"},
        {"webview", R"({"methodNameID":403,"embedProgress":1e-7})"},
        {"base", R"({"methodNameID":104,"extraJson":"{\"k\":[1,2]}"})"},
    };
    const auto session = [&](bool fire) {
        StandIn::SetAnswering(fire);
        const long long start = veloStandInClockMilliseconds();
        long long now = start;
        std::size_t nextFired = 0;
        for (const auto& [at, operation, request] : requests) {
            Advance(start + at - now);
            now = start + at;
            Log(-1, operation);
            request();
            for (int i = 0; fire && i < 2 && nextFired < fired.size(); ++i, ++nextFired) {
                EXPECT_TRUE(
                    veloStandInFire(fired[nextFired].first, fired[nextFired].second.c_str(), true));
            }
            Advance(0);
        }
        Advance(start + 200 - now);
        std::lock_guard<std::mutex> lock(g_eventMutex);
        std::vector<Event> events = std::exchange(g_events, {});
        for (Event& event : events) {
            event.at -= start;
        }
        return events;
    };
    const std::vector<Event> recorded = session(true);
    ASSERT_EQ(recorded.size(), requests.size() + 15);

    // What the recorder writes: each result answers the request before it, after its delay.
    std::string scenario = R"({"scenario":1,"unmatched":"drop","rules":[)";
    long long previous = 0;
    for (const Event& event : recorded) {
        if (event.methodNameID < 0) {
            scenario += std::string(event.at > 0 ? "]}," : "") + R"({"operation":")" + event.json +
                        R"(","times":1,"answer":[)";
        } else {
            scenario += std::string(scenario.back() == '[' ? "" : ",") + R"({"delayMs":)" +
                        std::to_string(event.at - previous) + R"(,"kind":")" + KindOf(event.json) +
                        R"(","record":)" + event.json + "}";
        }
        previous = event.at;
    }
    scenario += "]}]}";

    StandIn::Reset();
    veloStandInSetManualClock(true);
    Play(scenario);
    EXPECT_EQ(session(false), recorded);
}

}  // namespace
}  // namespace VeloTest
