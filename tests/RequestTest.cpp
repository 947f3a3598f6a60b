// Every request export: its arguments reach the core in place, its copies are freed, and
// whatever the core throws stays inside the library.
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

class RequestTest : public BridgeTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestTest, ArgumentsReachTheirPositionsAndCopiesAreFreed) {
    const RequestCase& c = GetParam();
    std::size_t texts = 0;
    for (const Expected& arg : c.args) {
        texts += arg.kind == StandIn::RecordedArg::Kind::Text ? 1 : 0;
    }
    {
        AllocationWindow window;
        c.call();
        releaseTextAdapter(Kept());
        if (AllocationHooks::Available()) {
            EXPECT_EQ(AllocationHooks::Counts().callocs, texts);
            EXPECT_EQ(AllocationHooks::Counts().liveCallocs, 0u);
        }
    }
    ExpectSingleCall(c.operation, c.args);
}

// The core may throw anything, not only standard exceptions: the export returns all the same, a
// text export returns null, and the refused request is never answered.
TEST_P(RequestTest, AnythingTheCoreThrowsStaysInsideAndIsNeverAnswered) {
    StandIn::SetAnswering(true);
    StandIn::SetThrowing(true);
    GetParam().call();
    EXPECT_EQ(Kept(), nullptr);
    EXPECT_EQ(StandIn::Calls().size(), 1u);
    EXPECT_TRUE(StandIn::WaitForAnswers());
    EXPECT_TRUE(Deliveries().empty());
}

TEST_F(BridgeTest, ASnapshotAnswerThatThrowsGivesNull) {
    StandIn::SetLoginRetAnswer([](Velo::VeloLoginRet&) -> bool { throw 7; });
    EXPECT_EQ(getLoginRetAdapter(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Exports, RequestTest, ::testing::ValuesIn(Requests()),
                         [](const ::testing::TestParamInfo<RequestCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace VeloTest
