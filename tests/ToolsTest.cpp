// Language and region reach VeloTools as the very pointers the caller passed.
#include "support/AllocationHooks.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

namespace StandIn = Corvan::Velo::StandIn;

class ToolsTest : public BridgeTest {};

TEST_F(ToolsTest, LanguagePassesItsPointerUnchangedNullIncluded) {
    const char* language = "fr-FR";
    {
        AllocationWindow window;
        setLanguageAdapter(language);
        setLanguageAdapter(nullptr);
    }
    const auto calls = StandIn::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].operation, "SetLanguage");
    EXPECT_EQ(calls[0].args.at(0).pointer, language);
    EXPECT_EQ(calls[0].args.at(0).bytes, "fr-FR");
    EXPECT_TRUE(calls[1].args.at(0).null);
    EXPECT_EQ(calls[1].args.at(0).pointer, nullptr);
}

TEST_F(ToolsTest, RegionPassesItsThreePointersInPlaceEvenWhenTheFirstIsNull) {
    const char* second = "EU";
    const char* third = "DE";
    setRegionAdapter(nullptr, second, third);
    const auto calls = StandIn::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, "SetRegion");
    ASSERT_EQ(calls[0].args.size(), 3u);
    EXPECT_EQ(calls[0].args[0].pointer, nullptr);
    EXPECT_EQ(calls[0].args[1].pointer, second);
    EXPECT_EQ(calls[0].args[2].pointer, third);
}

TEST_F(ToolsTest, NeitherExportAllocates) {
    if (!AllocationHooks::Available()) {
        GTEST_SKIP() << "allocations are not observable on this platform";
    }
    // The core's own recording allocates; the adapter's part is measured without it by
    // comparing with a direct core call, each made on a freshly reset core.
    std::size_t direct = 0;
    std::size_t through = 0;
    Corvan::Velo::VeloTools::SetRegion("a", "b", "c");  // the core's record grows to hold one call
    StandIn::Reset();
    {
        AllocationWindow window;
        Corvan::Velo::VeloTools::SetRegion("a", "b", "c");
        direct = AllocationHooks::Allocations();
    }
    StandIn::Reset();
    {
        AllocationWindow window;
        setRegionAdapter("a", "b", "c");
        through = AllocationHooks::Allocations();
    }
    EXPECT_EQ(through, direct);
    EXPECT_EQ(AllocationHooks::Callocs(), 0u);
}

}  // namespace
}  // namespace VeloTest
