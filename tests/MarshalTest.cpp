// Text arguments become core Strings for one call; texts handed back belong to the caller.
#include <climits>
#include <cstring>

#include "support/AllocationHooks.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

using Corvan::Velo::String;
using Corvan::Velo::StandIn::Calls;
using Corvan::Velo::StandIn::RecordedArg;

class MarshalTest : public BridgeTest {};

#define REQUIRE_HEAP_HOOKS()                                                         \
    if (!AllocationHooks::Available()) {                                             \
        GTEST_SKIP() << "the C runtime heap cannot be replaced from a test on this " \
                        "platform, so allocations are not observable";               \
    }

TEST_F(MarshalTest, NullAndEmptyTextReachTheCoreAsTheSameEmptyString) {
    setInstallChannelAdapter(nullptr);
    setInstallChannelAdapter("");
    const auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& call : calls) {
        const RecordedArg& arg = call.args.at(0);
        EXPECT_FALSE(arg.null);
        EXPECT_EQ(arg.length, 0u);
        EXPECT_TRUE(arg.terminated);
    }
}

TEST_F(MarshalTest, Utf8TextReachesTheCoreByteForByteWithItsByteLength) {
    const std::string text = "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAE";
    setInstallChannelAdapter(text.c_str());
    ExpectSingleCall("SetInstallChannel", {T(text)});
}

TEST_F(MarshalTest, TextIsCutAtItsFirstZeroByte) {
    const char text[] = "abc\0def";
    setInstallChannelAdapter(text);
    ExpectSingleCall("SetInstallChannel", {T("abc")});
}

TEST_F(MarshalTest, ArgumentCopiesAreFreedWhenTheExportReturns) {
    REQUIRE_HEAP_HOOKS();
    {
        AllocationWindow window;
        loginAdapter("one", nullptr, "", "four");
        EXPECT_EQ(AllocationHooks::Callocs(), 4u);
        EXPECT_EQ(AllocationHooks::LiveCallocs(), 0u);
    }
    EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(MarshalTest, StringFromAStandardStringKeepsItsSizeAndZeroFillsAfterAZeroByte) {
    const String copy(std::string("ab\0cd", 5));
    ASSERT_NE(copy.data, nullptr);
    EXPECT_EQ(copy.length, 5u);
    EXPECT_EQ(std::memcmp(copy.data, "ab\0\0\0\0", 6), 0);
}

TEST_F(MarshalTest, StringWhoseBufferCannotBeAllocatedIsEmptyWithANullBuffer) {
    REQUIRE_HEAP_HOOKS();
    AllocationWindow window;
    AllocationHooks::FailAt(1);
    const String copy("text");
    EXPECT_TRUE(AllocationHooks::Failed());
    EXPECT_EQ(copy.data, nullptr);
    EXPECT_EQ(copy.length, 0u);
}

TEST_F(MarshalTest, ExportThatCannotCopyItsArgumentsDoesNotCallTheCoreAndLeaksNothing) {
    REQUIRE_HEAP_HOOKS();
    for (std::size_t failing = 1; failing <= 4; ++failing) {
        SCOPED_TRACE("failing copy " + std::to_string(failing));
        {
            AllocationWindow window;
            AllocationHooks::FailAt(failing);
            bindAdapter("a", "b", "c", "d");
            EXPECT_TRUE(AllocationHooks::Failed());
            EXPECT_EQ(AllocationHooks::LiveCallocs(), 0u);
        }
        EXPECT_TRUE(Calls().empty());
    }
}

TEST_F(MarshalTest, TextExportReturnsNullWhenItsTextCannotBeAllocated) {
    REQUIRE_HEAP_HOOKS();
    Corvan::Velo::StandIn::SetEncodeUrlAnswer(std::string("answer"));
    char* text = nullptr;
    {
        AllocationWindow window;
        // The argument copy, then the core's answer, then the returned text.
        for (std::size_t failing = 1; !text; ++failing) {
            AllocationHooks::FailAt(failing);
            text = getEncodeUrlAdapter("url");
            if (text == nullptr) {
                EXPECT_TRUE(AllocationHooks::Failed());
            }
            ASSERT_LT(failing, 50u);
        }
    }
    EXPECT_STREQ(text, "answer");
    releaseTextAdapter(text);
}

TEST_F(MarshalTest, ReturnedTextHoldingAZeroByteIsCutThereWithZerosAfter) {
    Corvan::Velo::StandIn::SetNoticeDataAnswer(std::string("ab\0cd", 5));
    char* text = loadNoticeDataAdapter("", "", 0, "", "");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::memcmp(text, "ab\0\0\0\0", 6), 0);
    releaseTextAdapter(text);
}

}  // namespace
}  // namespace VeloTest
