// Table-driven checks of request exports: each case calls one export and names the core call and
// the arguments it must receive.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/AllocationHooks.h"
#include "support/BridgeTest.h"

namespace VeloTest {

struct RequestCase {
    const char* name;
    std::function<void()> call;
    const char* operation;
    std::vector<Expected> args;
};

inline void PrintTo(const RequestCase& c, std::ostream* os) {
    *os << c.name;
}

inline std::string RequestCaseName(const ::testing::TestParamInfo<RequestCase>& info) {
    return info.param.name;
}

// Calls the export and checks the core call and that every argument copy was made and freed.
class RequestTest : public BridgeTest, public ::testing::WithParamInterface<RequestCase> {
  protected:
    void CheckRequest() {
        const RequestCase& c = GetParam();
        std::size_t texts = 0;
        for (const Expected& arg : c.args) {
            texts += arg.kind == Corvan::Velo::StandIn::RecordedArg::Kind::Text ? 1 : 0;
        }
        {
            AllocationWindow window;
            c.call();
            if (AllocationHooks::Available()) {
                EXPECT_EQ(AllocationHooks::Callocs(), texts);
                EXPECT_EQ(AllocationHooks::LiveCallocs(), 0u);
            }
        }
        ExpectSingleCall(c.operation, c.args);
    }
};

// A text with two-, three- and four-byte UTF-8 characters.
inline const std::string& Utf8Text() {
    static const std::string text = "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xAE";
    return text;
}

}  // namespace VeloTest
