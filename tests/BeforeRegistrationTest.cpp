// A game may call the adapter before it registers any callback; this runs in a process of its own
// so that nothing has been registered yet.
#include <gtest/gtest.h>

#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

namespace StandIn = Corvan::Velo::StandIn;

TEST(BeforeRegistrationTest, ExportsWorkAndResultsAreDroppedUntilAnObserverIsInstalled) {
    ASSERT_TRUE(StandIn::Observers(StandIn::ObserverKind::Login).empty());
    char* text = getLoginRetAdapter();
    EXPECT_NE(text, nullptr);
    releaseTextAdapter(text);
    loginAdapter("a", "b", "c", "d");
    EXPECT_EQ(StandIn::Calls().back().operation, "Login");
    EXPECT_FALSE(StandIn::FireLoginResult(Corvan::Velo::VeloLoginRet()));
    setLoginObserverAdapter();
    EXPECT_TRUE(StandIn::FireLoginResult(Corvan::Velo::VeloLoginRet()));
    EXPECT_EQ(StandIn::Observers(StandIn::ObserverKind::Account).size(), 0u);
}

}  // namespace
