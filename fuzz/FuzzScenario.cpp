// Any text as a scenario: played whole, or refused with its name and place and nothing played;
// what is played answers requests. Never a crash.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "VeloCore.h"
#include "VeloStandInC.h"
#include "VeloStandInScenarioC.h"

namespace Velo = Corvan::Velo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool manual = (veloStandInSetManualClock(true), true);
    (void)manual;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (veloStandInPlayScenario(text.c_str(), "fuzz")) {
        VeloFuzz::Require(nlohmann::json::accept(text.c_str()), "what is played is JSON");
        // Requests the scenario may answer, drop or refuse (the operation then throws).
        const auto request = [](auto operation) {
            try {
                operation();
            } catch (...) {
            }
        };
        const Velo::String a("Mail"), b(""), c("x");
        request([&] { Velo::VeloLogin::Login(a, b, b, c); });
        request([] { Velo::VeloLogin::AutoLogin(); });
        request([] { Velo::VeloTools::SetRegion(nullptr, "DE", ""); });
        veloStandInAdvanceClock(3600000);
    } else {
        char* error = veloStandInLastError();
        const std::string reason = error != nullptr ? error : "";
        veloStandInReleaseText(error);
        VeloFuzz::Require(reason.rfind("fuzz:", 0) == 0, "a refusal names the scenario first");
    }
    veloStandInStopScenario();
    return 0;
}
