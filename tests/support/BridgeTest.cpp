#include "BridgeTest.h"

#include <climits>
#include <mutex>
#include <utility>

#include "VeloStandInC.h"

namespace VeloTest {

namespace {
std::mutex g_mutex;
std::vector<Delivery> g_deliveries;
}  // namespace

const std::string kUtf8 = "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xAE";

void CaptureCallback(int methodNameID, const char* json) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_deliveries.push_back({methodNameID, json});
}

std::vector<Delivery> Deliveries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_deliveries;
}

using Kind = StandIn::RecordedArg::Kind;

Expected T(std::string text) {
    return {Kind::Text, std::move(text)};
}
Expected I(int value) {
    return {Kind::Int, {}, value};
}
Expected F(bool value) {
    return {Kind::Flag, {}, 0, value};
}
Expected P(const char* pointer) {
    return {Kind::CText, {}, 0, false, pointer};
}

namespace {
char* g_kept = nullptr;
}  // namespace

void Keep(char* text) {
    g_kept = text;
}

char* Kept() {
    return std::exchange(g_kept, nullptr);
}

void PrintTo(const RequestCase& c, std::ostream* os) {
    *os << c.name;
}

namespace {
const char* const kLanguage = "fr-FR";
const char* const kRegion[] = {"EU", "DE"};
}  // namespace

const std::vector<RequestCase>& Requests() {
    static const std::vector<RequestCase> requests = {
        {"Login",
         [] { loginAdapter("user", "p\"w", kUtf8.c_str(), "4th"); },
         "Login",
         {T("user"), T("p\"w"), T(kUtf8), T("4th")}},
        {"LoginNull",
         [] { loginAdapter(nullptr, "b", "c", "d"); },
         "Login",
         {T(""), T("b"), T("c"), T("d")}},
        {"AutoLogin", [] { autoLoginAdapter(); }, "AutoLogin", {}},
        {"Logout", [] { logoutAdapter("a", nullptr, true); }, "Logout", {T("a"), T(""), F(true)}},
        {"LogoutFalse", [] { logoutAdapter("", "b", false); }, "Logout", {T(""), T("b"), F(false)}},
        {"Bind",
         [] { bindAdapter("b1", "b2", "b3", nullptr); },
         "Bind",
         {T("b1"), T("b2"), T("b3"), T("")}},
        {"CanBind",
         [] { canBindAdapter("c1", kUtf8.c_str(), "c3"); },
         "CanBind",
         {T("c1"), T(kUtf8), T("c3")}},
        {"LoginWithConfirmcode",
         [] { loginWithConfirmcodeAdapter(-42, "code", nullptr); },
         "LoginWithConfirmCode",
         {I(-42), T("code"), T("")}},
        {"PreLoadParleyLibrary", [] { preLoadParleyLibraryAdapter(); }, "PreLoadParleyLibrary", {}},
        {"SetInstallChannel",
         [] { setInstallChannelAdapter("store"); },
         "SetInstallChannel",
         {T("store")}},
        {"OnRealNameAuthFinished",
         [] { onRealNameAuthFinishedAdapter("r1", "r2", nullptr, true); },
         "OnRealNameAuthFinished",
         {T("r1"), T("r2"), T(""), F(true)}},
        {"OnRealNameAuthFinishedFalse",
         [] { onRealNameAuthFinishedAdapter("", "", "x", false); },
         "OnRealNameAuthFinished",
         {T(""), T(""), T("x"), F(false)}},
        {"UnInstall", [] { unInstallAdapter(); }, "UnInstall", {}},
        {"GetLoginRet", [] { Keep(getLoginRetAdapter()); }, "GetLoginRet", {}},
        {"RequestVerifyCode",
         [] { requestVerifyCodeAdapter("t1", nullptr, -3, 4, "t5", kUtf8.c_str(), "t7"); },
         "RequestVerifyCode",
         {T("t1"), T(""), I(-3), I(4), T("t5"), T(kUtf8), T("t7")}},
        {"ResetPassword",
         [] { resetPasswordAdapter("t1", -2, "t3", "t4", "t5", 1, 2, "t8", "t9", nullptr); },
         "ResetPassword",
         {T("t1"), I(-2), T("t3"), T("t4"), T("t5"), I(1), I(2), T("t8"), T("t9"), T("")}},
        {"Modify",
         [] {
             modifyAdapter("t1", 2, "t3", 4, -5, 6, "t7", "t8", INT_MIN, "t10", "t11", "t12",
                           nullptr);
         },
         "Modify",
         {T("t1"), I(2), T("t3"), I(4), I(-5), I(6), T("t7"), T("t8"), I(INT_MIN), T("t10"),
          T("t11"), T("t12"), T("")}},
        {"GetRegisterStatus",
         [] { getRegisterStatusAdapter("t1", "t2", -3, "", "t5", "t6"); },
         "GetRegisterStatus",
         {T("t1"), T("t2"), I(-3), T(""), T("t5"), T("t6")}},
        {"GetVerifyCodeStatus",
         [] { getVerifyCodeStatusAdapter("t1", "t2", 3, -4, 5, "t6", "t7", "t8"); },
         "GetVerifyCodeStatus",
         {T("t1"), T("t2"), I(3), I(-4), I(5), T("t6"), T("t7"), T("t8")}},
        {"GetReceiveEmail",
         [] { getReceiveEmailAdapter(nullptr, "t2", INT_MAX, "t4", "t5", "t6"); },
         "GetReceiveEmail",
         {T(""), T("t2"), I(INT_MAX), T("t4"), T("t5"), T("t6")}},
        {"VerifyPassword",
         [] { verifyPasswordAdapter("t1", "t2", "t3", -4, "t5", "t6", "t7"); },
         "VerifyPassword",
         {T("t1"), T("t2"), T("t3"), I(-4), T("t5"), T("t6"), T("t7")}},
        {"LoadNoticeData",
         [] { Keep(loadNoticeDataAdapter(nullptr, kUtf8.c_str(), -3, "t4", "t5")); },
         "LoadNoticeData",
         {T(""), T(kUtf8), I(-3), T("t4"), T("t5")}},
        {"OpenUrl",
         [] { openUrlAdapter("u1", -2, true, false, "t5", true); },
         "OpenUrl",
         {T("u1"), I(-2), F(true), F(false), T("t5"), F(true)}},
        {"OpenUrlFlipped",
         [] { openUrlAdapter(nullptr, 2, false, true, kUtf8.c_str(), false); },
         "OpenUrl",
         {T(""), I(2), F(false), F(true), T(kUtf8), F(false)}},
        {"GetEncodeUrl", [] { Keep(getEncodeUrlAdapter("a b")); }, "GetEncodeUrl", {T("a b")}},
        {"CallJS", [] { callJSAdapter("f(\"x\")"); }, "CallJS", {T("f(\"x\")")}},
        {"OpenOxaCenter",
         [] { openOxaCenterAdapter("t1", "t2", "t3", "t4", "t5", "t6", -7, nullptr); },
         "OpenOxaCenter",
         {T("t1"), T("t2"), T("t3"), T("t4"), T("t5"), T("t6"), I(-7), T("")}},
        {"OpenDeleteAccountUrl",
         [] { openDeleteAccountUrlAdapter("t1", 2, true, "t4"); },
         "OpenDeleteAccountUrl",
         {T("t1"), I(2), F(true), T("t4")}},
        {"OpenDeleteAccountUrlFalse",
         [] { openDeleteAccountUrlAdapter("", -2, false, nullptr); },
         "OpenDeleteAccountUrl",
         {T(""), I(-2), F(false), T("")}},
        {"Close", [] { closeAdapter(); }, "Close", {}},
        // Language and region reach the core as the very pointers passed, null included.
        {"SetLanguage", [] { setLanguageAdapter(kLanguage); }, "SetLanguage", {P(kLanguage)}},
        {"SetLanguageNull", [] { setLanguageAdapter(nullptr); }, "SetLanguage", {P(nullptr)}},
        {"SetRegion",
         [] { setRegionAdapter(nullptr, kRegion[0], kRegion[1]); },
         "SetRegion",
         {P(nullptr), P(kRegion[0]), P(kRegion[1])}},
    };
    return requests;
}

void ExpectSingleCall(const std::string& operation, const std::vector<Expected>& args) {
    const std::vector<StandIn::RecordedCall> calls = StandIn::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.front().operation, operation);
    ASSERT_EQ(calls.front().args.size(), args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        SCOPED_TRACE("argument " + std::to_string(i + 1));
        const StandIn::RecordedArg& got = calls.front().args[i];
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
                EXPECT_EQ(got.pointer, want.pointer);
                break;
        }
    }
}

std::string StandInLastError() {
    char* text = veloStandInLastError();
    std::string reason = text != nullptr ? text : "(null)";
    veloStandInReleaseText(text);
    return reason;
}

void BridgeTest::SetUp() {
    StandIn::Reset();
    setUnityCallback(&CaptureCallback);
    StandIn::Reset();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_deliveries.clear();
}

void BridgeTest::TearDown() {
    StandIn::Reset();
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
