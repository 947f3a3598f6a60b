// Shared fixture of the adapter's tests: a clean stand-in core, a callback that keeps every
// delivery, and checks of the arguments the core received.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace VeloTest {

struct Delivery {
    int methodNameID;
    std::string json;
};

// The callback the tests register; it copies what it receives.
void CaptureCallback(int methodNameID, const char* json);
std::vector<Delivery> Deliveries();
void ClearDeliveries();

// One expected argument at the core.
struct Expected {
    Corvan::Velo::StandIn::RecordedArg::Kind kind;
    std::string text;
    int integer = 0;
    bool flag = false;
};
Expected T(std::string text);
Expected I(int value);
Expected F(bool value);

// The one call the core received since the last reset is `operation` with exactly `args`: texts
// byte for byte with their byte length and terminated, integers and flags as given.
void ExpectSingleCall(const std::string& operation, const std::vector<Expected>& args);

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The one text delivered since the fixture began, after checking that its method number is
    // `methodNameID`.
    static std::string OnlyDelivery(int methodNameID);
    // Takes ownership of a returned text.
    static std::string Take(char* text);
};

}  // namespace VeloTest
