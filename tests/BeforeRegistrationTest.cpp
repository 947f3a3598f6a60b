// A game may call the adapter before it registers any callback; this runs in a process of its own
// so that nothing has been registered yet.
#include <gtest/gtest.h>

#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

namespace StandIn = Corvan::Velo::StandIn;

TEST(BeforeRegistrationTest, SnapshotAndRequestsWorkAndNoObserverIsInstalled) {
    ASSERT_TRUE(StandIn::Observers(StandIn::ObserverKind::Login).empty());
    char* text = getLoginRetAdapter();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text,
                 R"({"openid":"","token":"","token_expire_time":0,"first":0,"reg_channel_dis":"",)"
                 R"("user_name":"","gender":0,"birthdate":"","picture_url":"","pf":"","pfKey":"",)"
                 R"("need_name_auth":false,"channelid":0,"channel":"","channel_info":"",)"
                 R"("confirm_code":"","confirm_code_expire_time":0,"bind_list":""})");
    releaseTextAdapter(text);
    loginAdapter("a", "b", "c", "d");
    const auto calls = StandIn::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].operation, "Login");
    EXPECT_FALSE(StandIn::FireLoginResult(Corvan::Velo::VeloLoginRet()));
}

TEST(BeforeRegistrationTest, ResultsThroughAnInstalledObserverAreDroppedWithoutACallback) {
    setLoginObserverAdapter();
    EXPECT_TRUE(StandIn::FireLoginResult(Corvan::Velo::VeloLoginRet()));
    EXPECT_EQ(StandIn::Observers(StandIn::ObserverKind::Account).size(), 0u);
}

}  // namespace
