// The stand-in core's shared state: recorded calls, log lines, observers and configured answers.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "VeloStandIn.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

struct State {
    State();

    std::mutex mutex;
    std::vector<RecordedCall> calls;
    std::vector<LogLine> logLines;
    std::vector<VeloLoginObserver*> loginObservers;
    std::vector<VeloAccountObserver*> accountObservers;
    std::vector<VeloNoticeObserver*> noticeObservers;
    std::vector<VeloWebViewObserver*> webViewObservers;
    std::function<bool(VeloLoginRet&)> loginRetAnswer;
    std::string noticeDataAnswer;
    std::optional<std::string> encodeUrlAnswer;
};

State& GlobalState();

// Builders of one recorded argument each.
RecordedArg TextArg(const String& text);
RecordedArg IntArg(int value);
RecordedArg FlagArg(bool value);
RecordedArg CTextArg(const char* text);

inline RecordedArg ToArg(const String& text) {
    return TextArg(text);
}
inline RecordedArg ToArg(int value) {
    return IntArg(value);
}
inline RecordedArg ToArg(bool value) {
    return FlagArg(value);
}
inline RecordedArg ToArg(const char* text) {
    return CTextArg(text);
}

bool Recording();
void Store(const char* operation, std::vector<RecordedArg> args);

// Records one call of `operation` with its arguments as received, and answers it in answering
// mode; nothing at all while recording is off.
template <class... Args>
void Record(const char* operation, const Args&... args) {
    if (Recording()) {
        Store(operation, {ToArg(args)...});
    }
}

// Answering mode: queues the plausible answer to `operation`, if the mode is on.
void Answer(const std::string& operation, const std::vector<RecordedArg>& args);

// What LoadNoticeData returns: the configured text, or in answering mode a short acknowledgement.
std::string NoticeDataAnswer();

// Fills `ret` with the login that answering mode holds; false when there is none.
bool SessionLoginRet(VeloLoginRet& ret);

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
