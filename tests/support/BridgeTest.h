// Shared by the adapter's tests: a clean stand-in core, a callback that keeps every delivery, the
// table of every request export and checks of what the core received.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"
#include "support/AllocationHooks.h"

namespace VeloTest {

namespace StandIn = Corvan::Velo::StandIn;
namespace Velo = Corvan::Velo;

struct Delivery {
    int methodNameID;
    std::string json;
};

// The callback the tests register; it copies what it receives.
void CaptureCallback(int methodNameID, const char* json);
std::vector<Delivery> Deliveries();

// One expected argument at the core: a text copy (byte for byte, with its byte length and
// terminated), an integer, a flag, or a pointer passed on unchanged.
struct Expected {
    StandIn::RecordedArg::Kind kind;
    std::string text;
    int integer = 0;
    bool flag = false;
    const char* pointer = nullptr;
};
Expected T(std::string text);
Expected I(int value);
Expected F(bool value);
Expected P(const char* pointer);

// One export call and the core operation it must reach with exactly `args`. A text the export
// returns is kept (`Keep`) for the test to take (`Kept`, null when none) and release.
struct RequestCase {
    const char* name;
    std::function<void()> call;
    const char* operation;
    std::vector<Expected> args;
};
void Keep(char* text);
char* Kept();
void PrintTo(const RequestCase& c, std::ostream* os);
// Every request export: every text and integer differs from its neighbours, so that a swap of
// any two fails.
const std::vector<RequestCase>& Requests();

// The one call the core received since the last reset is `operation` with exactly `args`.
void ExpectSingleCall(const std::string& operation, const std::vector<Expected>& args);

// Why the stand-in's last C call of this thread failed (veloStandInLastError).
std::string StandInLastError();

// A text with two-, three- and four-byte UTF-8 characters.
extern const std::string kUtf8;

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The one text delivered since the fixture began, after checking its method number.
    static std::string OnlyDelivery(int methodNameID);
    // Takes ownership of a returned text.
    static std::string Take(char* text);
};

// Skips a test where allocations cannot be observed.
#define VELO_REQUIRE_HEAP_HOOKS()                                                             \
    if (!AllocationHooks::Available()) {                                                      \
        GTEST_SKIP() << "the C runtime heap cannot be replaced from a test on this platform"; \
    }

}  // namespace VeloTest
