// Scenarios: what the stand-in answers, request by request, as a scenario file scripts it. A
// scenario is read whole or not at all; the answering thread plays it (Answerer.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "RecordReaders.h"
#include "VeloStandIn.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

// Milliseconds on the core's clock.
using Millis = std::int64_t;

// The largest scenario text read, in bytes.
constexpr std::size_t kLargestScenario = std::size_t{32} << 20;

// A scenario text that cannot be played: where ("file:line:column") and why.
struct ScenarioRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What happens to a request: answered (by the rule's results, or for an unmatched request as
// answering mode answers it), dropped, or refused (the operation throws).
enum class Outcome { Answer, Drop, Refuse };

struct ScriptedAnswer {
    Millis delay = 0;  // after the request, or after the answer before it
    ResultRecord record;
};

// What an operation returns at once: a text (LoadNoticeData, GetEncodeUrl) or the login that
// GetLoginRet fills in.
using ImmediateReturn = std::variant<std::string, VeloLoginRet>;

struct Rule {
    std::size_t operation = 0;  // in Operations()
    // By position; an argument without a value matches any.
    std::vector<std::optional<std::variant<std::string, int, bool>>> args;
    std::optional<std::uint32_t> times;  // how many requests it answers; any number when none
    Outcome outcome = Outcome::Answer;
    std::vector<ScriptedAnswer> answers;
    std::optional<ImmediateReturn> returns;
};

// One operation of the core's facades and the kinds of its parameters: 's' a String, 'c' a C
// text, 'i' an int, 'b' a bool.
struct Operation {
    const char* facade;
    const char* name;
    const char* parameters;
};
const std::vector<Operation>& Operations();

class Scenario {
  public:
    // Reads a scenario from `length` bytes of `text`, named `name` in messages. Throws
    // ScenarioRefused.
    static std::shared_ptr<Scenario> Read(const char* text, std::size_t length,
                                          const std::string& name);
    // Reads the scenario file at `path` (UTF-8). Throws ScenarioRefused.
    static std::shared_ptr<Scenario> ReadFile(const std::string& path);

    // The first rule, not yet used up, that matches `operation` (as the stand-in records it:
    // "Login") called with `args`, counted as used; null when none matches. Not thread-safe:
    // the answering thread's lock guards it.
    const Rule* Match(const std::string& operation, const std::vector<RecordedArg>& args);

    Outcome unmatched = Outcome::Answer;
    std::optional<VeloLoginRet> loginRet;
    std::optional<std::string> noticeData;
    std::optional<std::string> encodeUrl;
    std::vector<Rule> rules;

  private:
    std::vector<std::uint32_t> used_;
};

// Played on the core's thread (Answerer.cpp).

// Plays `scenario` from now on, its login as the session's, in place of the one playing, whose
// answers still to come are forgotten.
void PlayScenario(std::shared_ptr<Scenario> scenario);
// Stops playing; the answers still to come are forgotten.
void StopScenario();

// What the playing scenario says the operation this thread called last returns at once: a login
// or a text, taken once; false or none when it says nothing.
bool TakeReturnedLogin(VeloLoginRet& ret);
std::optional<std::string> TakeReturnedText();

// The core's clock: the real one, or a manual one that stands still until moved on.
Millis ClockNow();
void SetManualClock(bool on);
// Moves the manual clock on, then waits until what has become due has run. False with the real
// clock (not moved) and on the core's own thread (which cannot wait for itself).
bool AdvanceClock(Millis milliseconds);

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
