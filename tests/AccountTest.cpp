// Account requests reach VeloAccount in place; account results as exact JSON.
#include <climits>

#include "support/RequestCase.h"

namespace VeloTest {
namespace {

using Corvan::Velo::VeloAccountRet;
namespace StandIn = Corvan::Velo::StandIn;

class AccountRequestTest : public RequestTest {};

TEST_P(AccountRequestTest, ArgumentsReachTheirPositionsAndCopiesAreFreed) {
    CheckRequest();
}

// Every text and every integer differs from its neighbours, so a swap of any two fails.
INSTANTIATE_TEST_SUITE_P(
    Exports, AccountRequestTest,
    ::testing::Values(
        RequestCase{
            "RequestVerifyCode",
            [] { requestVerifyCodeAdapter("t1", nullptr, -3, 4, "t5", Utf8Text().c_str(), "t7"); },
            "RequestVerifyCode",
            {T("t1"), T(""), I(-3), I(4), T("t5"), T(Utf8Text()), T("t7")}},
        RequestCase{
            "ResetPassword",
            [] { resetPasswordAdapter("t1", -2, "t3", "t4", "t5", 1, 2, "t8", "t9", nullptr); },
            "ResetPassword",
            {T("t1"), I(-2), T("t3"), T("t4"), T("t5"), I(1), I(2), T("t8"), T("t9"), T("")}},
        RequestCase{"Modify",
                    [] {
                        modifyAdapter("t1", 2, "t3", 4, -5, 6, "t7", "t8", INT_MIN, "t10", "t11",
                                      "t12", nullptr);
                    },
                    "Modify",
                    {T("t1"), I(2), T("t3"), I(4), I(-5), I(6), T("t7"), T("t8"), I(INT_MIN),
                     T("t10"), T("t11"), T("t12"), T("")}},
        RequestCase{"GetRegisterStatus",
                    [] { getRegisterStatusAdapter("t1", "t2", -3, "", "t5", "t6"); },
                    "GetRegisterStatus",
                    {T("t1"), T("t2"), I(-3), T(""), T("t5"), T("t6")}},
        RequestCase{"GetVerifyCodeStatus",
                    [] { getVerifyCodeStatusAdapter("t1", "t2", 3, -4, 5, "t6", "t7", "t8"); },
                    "GetVerifyCodeStatus",
                    {T("t1"), T("t2"), I(3), I(-4), I(5), T("t6"), T("t7"), T("t8")}},
        RequestCase{"GetReceiveEmail",
                    [] { getReceiveEmailAdapter(nullptr, "t2", INT_MAX, "t4", "t5", "t6"); },
                    "GetReceiveEmail",
                    {T(""), T("t2"), I(INT_MAX), T("t4"), T("t5"), T("t6")}},
        RequestCase{"VerifyPassword",
                    [] { verifyPasswordAdapter("t1", "t2", "t3", -4, "t5", "t6", "t7"); },
                    "VerifyPassword",
                    {T("t1"), T("t2"), T("t3"), I(-4), T("t5"), T("t6"), T("t7")}}),
    RequestCaseName);

class AccountTest : public BridgeTest {};

TEST_F(AccountTest, ResultOfAnAllZeroRecord) {
    VeloAccountRet ret;
    ret.retCode = 0;
    ret.ret = 0;
    ASSERT_TRUE(StandIn::FireAccountResult(ret));
    EXPECT_EQ(OnlyDelivery(0),
              R"({"methodNameID":0,"retCode":0,"retMsg":"","ret":0,"msg":"","extraJson":"",)"
              R"("channelID":0,"channel":"","seq":"","user_name":"","uid":"","token":"",)"
              R"("expiretime":"","expire_time":0,"is_register":0,"isset_pwd":0,)"
              R"("is_receive_email":0})");
}

TEST_F(AccountTest, ResultOfADistinctiveRecord) {
    VeloAccountRet ret;
    ret.methodNameID = 205;
    ret.retCode = 1;
    ret.retMsg = "r";
    ret.ret = -2;
    ret.msg = "m";
    ret.extraJson = R"({"x":"y"})";
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
    ASSERT_TRUE(StandIn::FireAccountResult(ret));
    EXPECT_EQ(OnlyDelivery(205),
              "{\"methodNameID\":205,\"retCode\":1,\"retMsg\":\"r\",\"ret\":-2,\"msg\":\"m\","
              "\"extraJson\":\"{\\\"x\\\":\\\"y\\\"}\",\"channelID\":-2147483648,"
              "\"channel\":\"Mail\",\"seq\":\"s-1\",\"user_name\":\"\xE5\xA4\xAA\","
              "\"uid\":\"u\\\"1\",\"token\":\"tk\",\"expiretime\":\"2026-12-31\","
              "\"expire_time\":60,\"is_register\":1,\"isset_pwd\":2,\"is_receive_email\":3}");
}

TEST_F(AccountTest, EachInstallerCallInstallsANewObserver) {
    const auto before = StandIn::Observers(StandIn::ObserverKind::Account);
    setAccountObserverAdapter();
    setAccountObserverAdapter();
    const auto after = StandIn::Observers(StandIn::ObserverKind::Account);
    ASSERT_EQ(after.size(), before.size() + 2);
    EXPECT_NE(after[after.size() - 1], after[after.size() - 2]);
    EXPECT_NE(after[after.size() - 2], before.back());
}

}  // namespace
}  // namespace VeloTest
