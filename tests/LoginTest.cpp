// Login requests reach VeloLogin in place; login results and the login snapshot as exact JSON.
#include <cstring>
#include <functional>

#include "support/RequestCase.h"

namespace VeloTest {
namespace {

using Corvan::Velo::VeloBaseRet;
using Corvan::Velo::VeloLoginRet;
using Corvan::Velo::VeloQrCodeRet;
namespace StandIn = Corvan::Velo::StandIn;

class LoginTest : public BridgeTest {};

const std::string kUtf8 = Utf8Text();

class LoginRequestTest : public RequestTest {};

TEST_P(LoginRequestTest, ArgumentsReachTheirPositionsAndCopiesAreFreed) {
    CheckRequest();
}

INSTANTIATE_TEST_SUITE_P(
    Exports, LoginRequestTest,
    ::testing::Values(RequestCase{"Login",
                                  [] { loginAdapter("user", "p\"w", kUtf8.c_str(), "4th"); },
                                  "Login",
                                  {T("user"), T("p\"w"), T(kUtf8), T("4th")}},
                      RequestCase{"LoginNullFirst",
                                  [] { loginAdapter(nullptr, "b", "c", "d"); },
                                  "Login",
                                  {T(""), T("b"), T("c"), T("d")}},
                      RequestCase{"AutoLogin", [] { autoLoginAdapter(); }, "AutoLogin", {}},
                      RequestCase{"LogoutFalse",
                                  [] { logoutAdapter("a", nullptr, false); },
                                  "Logout",
                                  {T("a"), T(""), F(false)}},
                      RequestCase{"LogoutTrue",
                                  [] { logoutAdapter("", "b", true); },
                                  "Logout",
                                  {T(""), T("b"), F(true)}},
                      RequestCase{"Bind",
                                  [] { bindAdapter("b1", "b2", "b3", nullptr); },
                                  "Bind",
                                  {T("b1"), T("b2"), T("b3"), T("")}},
                      RequestCase{"CanBind",
                                  [] { canBindAdapter("c1", kUtf8.c_str(), "c3"); },
                                  "CanBind",
                                  {T("c1"), T(kUtf8), T("c3")}},
                      RequestCase{"LoginWithConfirmcode",
                                  [] { loginWithConfirmcodeAdapter(-42, "code", nullptr); },
                                  "LoginWithConfirmCode",
                                  {I(-42), T("code"), T("")}},
                      RequestCase{"PreLoadParleyLibrary",
                                  [] { preLoadParleyLibraryAdapter(); },
                                  "PreLoadParleyLibrary",
                                  {}},
                      RequestCase{"SetInstallChannel",
                                  [] { setInstallChannelAdapter("store"); },
                                  "SetInstallChannel",
                                  {T("store")}},
                      RequestCase{"OnRealNameAuthFinishedTrue",
                                  [] { onRealNameAuthFinishedAdapter("r1", "r2", "r3", true); },
                                  "OnRealNameAuthFinished",
                                  {T("r1"), T("r2"), T("r3"), F(true)}},
                      RequestCase{"OnRealNameAuthFinishedFalse",
                                  [] { onRealNameAuthFinishedAdapter(nullptr, "", "x", false); },
                                  "OnRealNameAuthFinished",
                                  {T(""), T(""), T("x"), F(false)}},
                      RequestCase{"UnInstall", [] { unInstallAdapter(); }, "UnInstall", {}}),
    RequestCaseName);

const char kDefaultLoginMembers[] =
    R"("openid":"","token":"","token_expire_time":0,"first":0,"reg_channel_dis":"",)"
    R"("user_name":"","gender":0,"birthdate":"","picture_url":"","pf":"","pfKey":"",)"
    R"("need_name_auth":false,"channelid":0,"channel":"","channel_info":"","confirm_code":"",)"
    R"("confirm_code_expire_time":0,"bind_list":"")";

VeloLoginRet DistinctiveLogin() {
    VeloLoginRet ret;
    ret.methodNameID = 1001;
    ret.retCode = -3;
    ret.retMsg = "msg \"one\"";
    ret.ret = 17;
    ret.msg = "second\tmessage";
    ret.extraJson = R"({"extra":true})";
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

const char kDistinctiveLoginMembers[] =
    "\"openid\":\"open-1\",\"token\":\"tok\\\\en\",\"token_expire_time\":4102444800,"
    "\"first\":1,\"reg_channel_dis\":\"reg\",\"user_name\":\"\xE5\xA4\xAA\xE9\x83\x8E\","
    "\"gender\":2,\"birthdate\":\"1990-01-02\",\"picture_url\":\"https://p/x.png\","
    "\"pf\":\"pf-v\",\"pfKey\":\"pf-key\",\"need_name_auth\":true,\"channelid\":-7,"
    "\"channel\":\"Guest\",\"channel_info\":\"{\\\"c\\\":1}\",\"confirm_code\":\"c0de\","
    "\"confirm_code_expire_time\":-300,"
    "\"bind_list\":\"[{\\\"channelid\\\":3},{\\\"channelid\\\":5}]\"";

TEST_F(LoginTest, LoginResultOfADefaultRecord) {
    ASSERT_TRUE(StandIn::FireLoginResult(VeloLoginRet()));
    EXPECT_EQ(OnlyDelivery(0),
              std::string(R"({"methodNameID":0,"retCode":-1,"retMsg":"","ret":-1,"msg":"",)"
                          R"("extraJson":"",)") +
                  kDefaultLoginMembers + "}");
}

TEST_F(LoginTest, LoginResultOfADistinctiveRecord) {
    ASSERT_TRUE(StandIn::FireLoginResult(DistinctiveLogin()));
    EXPECT_EQ(OnlyDelivery(1001),
              std::string("{\"methodNameID\":1001,\"retCode\":-3,\"retMsg\":\"msg \\\"one\\\"\","
                          "\"ret\":17,\"msg\":\"second\\tmessage\","
                          "\"extraJson\":\"{\\\"extra\\\":true}\",") +
                  kDistinctiveLoginMembers + "}");
}

TEST_F(LoginTest, BaseResultWritesOnlyTheEnvelope) {
    const VeloLoginRet login = DistinctiveLogin();
    ASSERT_TRUE(StandIn::FireBaseResult(static_cast<const VeloBaseRet&>(login)));
    EXPECT_EQ(OnlyDelivery(1001),
              "{\"methodNameID\":1001,\"retCode\":-3,\"retMsg\":\"msg \\\"one\\\"\","
              "\"ret\":17,\"msg\":\"second\\tmessage\",\"extraJson\":\"{\\\"extra\\\":true}\"}");
}

TEST_F(LoginTest, QrCodeResultWritesEightMembersAndNeverExtraJson) {
    VeloQrCodeRet qr;
    qr.methodNameID = 12;
    qr.retCode = 0;
    qr.retMsg = "ok";
    qr.ret = 1;
    qr.msg = "scan";
    qr.extraJson = R"({"never":"written"})";
    qr.channelID = 9;
    qr.channel = "QR";
    qr.qrCodeUrl = "https://q/r?a=1&b=2";
    ASSERT_TRUE(StandIn::FireQrCodeResult(qr));
    EXPECT_EQ(OnlyDelivery(12),
              R"({"methodNameID":12,"retCode":0,"retMsg":"ok","ret":1,"msg":"scan",)"
              R"("channelID":9,"channel":"QR","qrCodeUrl":"https://q/r?a=1&b=2"})");
}

TEST_F(LoginTest, SnapshotOfAnUntouchedRecordHasTheDefaultLoginMembers) {
    EXPECT_EQ(Take(getLoginRetAdapter()), std::string("{") + kDefaultLoginMembers + "}");
    ExpectSingleCall("GetLoginRet", {});
}

TEST_F(LoginTest, SnapshotShowsTheLoginMembersButNeverTheEnvelope) {
    StandIn::SetLoginRetAnswer([](VeloLoginRet& ret) {
        ret = DistinctiveLogin();
        return true;
    });
    EXPECT_EQ(Take(getLoginRetAdapter()), std::string("{") + kDistinctiveLoginMembers + "}");
}

TEST_F(LoginTest, SnapshotShowsWhatTheCoreFilledEvenWhenItReportsFailure) {
    StandIn::SetLoginRetAnswer([](VeloLoginRet& ret) {
        ret.openid = "partial";
        ret.token_expire_time = 5;
        return false;
    });
    const std::string text = Take(getLoginRetAdapter());
    EXPECT_EQ(text.substr(0, 59), R"({"openid":"partial","token":"","token_expire_time":5,"first)");
}

TEST_F(LoginTest, SnapshotsAreDistinctBuffersTheCallerOwns) {
    char* first = getLoginRetAdapter();
    char* second = getLoginRetAdapter();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    const std::string expected(second);
    releaseTextAdapter(first);
    EXPECT_EQ(std::string(second), expected);
    releaseTextAdapter(second);
}

}  // namespace
}  // namespace VeloTest
