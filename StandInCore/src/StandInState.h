// The stand-in core's shared state: recorded calls, log lines, observers and configured answers.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "VeloStandIn.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

// The latest entries, at most a limit of them; older ones are dropped and counted. Holds up to
// twice the limit before it moves the kept ones to the front, so that adding is constant time
// on average. Cleared, it holds no memory.
template <class Entry>
class BoundedRecord {
  public:
    void Add(Entry entry, std::size_t limit) {
        entries_.push_back(std::move(entry));
        Trim(limit);
    }
    void Trim(std::size_t limit) {
        if (entries_.size() - first_ > limit) {
            dropped_ += entries_.size() - first_ - limit;
            first_ = entries_.size() - limit;
        }
        if (first_ >= limit) {
            entries_.erase(entries_.begin(),
                           entries_.begin() + static_cast<std::ptrdiff_t>(first_));
            first_ = 0;
        }
    }
    std::vector<Entry> Latest() const {
        return {entries_.begin() + static_cast<std::ptrdiff_t>(first_), entries_.end()};
    }
    std::uint64_t dropped() const { return dropped_; }
    void Clear() {
        std::vector<Entry>().swap(entries_);
        first_ = 0;
        dropped_ = 0;
    }

  private:
    std::vector<Entry> entries_;
    std::size_t first_ = 0;
    std::uint64_t dropped_ = 0;
};

struct State {
    State();

    std::mutex mutex;
    BoundedRecord<RecordedCall> calls;
    BoundedRecord<LogLine> logLines;
    std::size_t recordLimit = kDefaultRecordLimit;
    std::vector<VeloLoginObserver*> loginObservers;
    std::vector<VeloAccountObserver*> accountObservers;
    std::vector<VeloNoticeObserver*> noticeObservers;
    std::vector<VeloWebViewObserver*> webViewObservers;
    std::function<bool(VeloLoginRet&)> loginRetAnswer;
    std::string noticeDataAnswer;
    std::optional<std::string> encodeUrlAnswer;
};

// One of the stand-in's process-wide objects, made on first use. On Windows it is destroyed when
// the library unloads, so that loading and unloading it again and again leaves nothing behind
// (when a process exits, Windows has ended every other thread before that). Elsewhere exit()
// destroys static objects while other threads may still call the core: never destroyed there.
template <class Object>
Object& LibraryObject() {
#if defined(_WIN32)
    static Object object;
    return object;
#else
    static Object* const object = new Object();
    return *object;
#endif
}

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

// Answering mode: queues the plausible answer to `operation`, if the mode is on, or what the
// playing scenario answers. True when the scenario refuses the call: the operation throws.
bool Answer(const std::string& operation, const std::vector<RecordedArg>& args);

// What LoadNoticeData returns: the configured text, or in answering mode a short acknowledgement.
std::string NoticeDataAnswer();

// Fills `ret` with the login that answering mode holds; false when there is none.
bool SessionLoginRet(VeloLoginRet& ret);

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
