// The C control interface of scenarios and the core's clock.
#include <cstring>
#include <stdexcept>

#include "CInterface.h"
#include "Scenario.h"
#include "VeloStandInScenarioC.h"

namespace StandIn = Corvan::Velo::StandIn;

extern "C" {

VELO_STANDIN_C_API bool veloStandInPlayScenario(const char* text, const char* name) {
    return StandIn::CheckedCall([&] {
        const char* scenario = text != nullptr ? text : "";
        StandIn::PlayScenario(StandIn::Scenario::Read(scenario, std::strlen(scenario),
                                                      name != nullptr ? name : "scenario"));
    });
}

VELO_STANDIN_C_API bool veloStandInPlayScenarioFile(const char* path) {
    return StandIn::CheckedCall(
        [&] { StandIn::PlayScenario(StandIn::Scenario::ReadFile(path != nullptr ? path : "")); });
}

VELO_STANDIN_C_API bool veloStandInCheckScenarioFile(const char* path) {
    return StandIn::CheckedCall([&] { StandIn::Scenario::ReadFile(path != nullptr ? path : ""); });
}

VELO_STANDIN_C_API void veloStandInStopScenario(void) {
    StandIn::CheckedCall([] { StandIn::StopScenario(); });
}

VELO_STANDIN_C_API void veloStandInSetManualClock(bool on) {
    StandIn::CheckedCall([&] { StandIn::SetManualClock(on); });
}

VELO_STANDIN_C_API bool veloStandInAdvanceClock(long long milliseconds) {
    return StandIn::CheckedCall([&] {
        if (!StandIn::AdvanceClock(milliseconds > 0 ? milliseconds : 0)) {
            throw std::logic_error(
                "the clock is the real one (veloStandInSetManualClock(true) first), or the call "
                "came from the core's own thread, which cannot wait for itself");
        }
    });
}

VELO_STANDIN_C_API long long veloStandInClockMilliseconds(void) {
    long long now = 0;
    StandIn::CheckedCall([&] { now = StandIn::ClockNow(); });
    return now;
}

}  // extern "C"
