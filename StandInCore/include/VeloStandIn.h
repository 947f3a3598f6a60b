// Control interface of the stand-in core: what it recorded, what it answers, and firing results
// through the observers it was given. Tests, the demo and tools use it; the adapter never does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "VeloCore.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

// One argument of a core operation, as the core received it.
struct RecordedArg {
    enum class Kind { Text, Int, Flag, CText };
    Kind kind = Kind::Int;
    std::string bytes;         // Text: `length` bytes of the buffer; CText: bytes up to the zero
    std::uint32_t length = 0;  // Text: the String's length
    bool terminated = false;   // Text: the byte at index `length` is zero
    bool null = false;         // Text: null buffer; CText: null pointer
    const void* pointer = nullptr;  // Text: the buffer; CText: the pointer itself
    int integer = 0;                // Int
    bool flag = false;              // Flag
    unsigned char flagByte = 0;     // Flag: the byte as passed
};

struct RecordedCall {
    std::string operation;  // "Login", "SetRegion", ...
    std::vector<RecordedArg> args;
};

struct LogLine {
    int level = 0;
    std::string file;
    std::string function;
    int line = 0;
    std::string format;
    std::string message;  // the format with its arguments applied
};

enum class ObserverKind { Login, Account, Notice, WebView };

#if defined(_WIN32)
#if defined(VELO_CORE_BUILD)
#define VELO_STANDIN_API __declspec(dllexport)
#else
#define VELO_STANDIN_API __declspec(dllimport)
#endif
#else
#define VELO_STANDIN_API __attribute__((visibility("default")))
#endif

// Leaves answering mode and stops the scenario playing (its answers still to come are forgotten),
// gives the core its real clock back, waits for the answers queued on the core's thread, then
// forgets recorded calls and log lines (and the count of dropped ones) and restores the default
// answers.
// Installed observers, the recording mode and the record limit stay. Called on the core's own
// thread (from a callback it runs) it cannot wait for itself: it resets without waiting, at
// once, and returns false; otherwise true.
VELO_STANDIN_API bool Reset();

// The latest calls, oldest first: at most the record limit.
VELO_STANDIN_API std::vector<RecordedCall> Calls();

// The stand-in keeps the latest calls and the latest log lines, at most `limit` of each (at least
// one), so that a session of any length runs in bounded memory; older ones are dropped and
// counted. The default holds a long scripted session. Reset does not change it.
constexpr std::size_t kDefaultRecordLimit = 4096;
VELO_STANDIN_API void SetRecordLimit(std::size_t limit);
// How many calls and log lines were dropped since the last reset.
VELO_STANDIN_API std::uint64_t DroppedCalls();
VELO_STANDIN_API std::uint64_t DroppedLogLines();

// With recording off the facade operations do nothing at all: no record, no answer. On by
// default; benchmarks turn it off to measure the adapter alone. Reset does not change it.
VELO_STANDIN_API void SetRecording(bool on);
// While on, every facade operation throws after recording its call, as the real core may: a value
// that is no std::exception (an int). A refused request is not answered, even in answering mode.
// Off by default and after Reset.
VELO_STANDIN_API void SetThrowing(bool on);
VELO_STANDIN_API std::vector<LogLine> LogLines();

// Every observer of a kind in the order given; the last one is the installed one.
VELO_STANDIN_API std::vector<const void*> Observers(ObserverKind kind);

// What GetLoginRet does with the caller's record, and what it returns. By default it leaves the
// record untouched and returns false.
VELO_STANDIN_API void SetLoginRetAnswer(std::function<bool(VeloLoginRet&)> answer);
// What LoadNoticeData returns; empty by default.
VELO_STANDIN_API void SetNoticeDataAnswer(std::string text);
// What GetEncodeUrl returns; by default the percent-encoding of its argument.
VELO_STANDIN_API void SetEncodeUrlAnswer(std::optional<std::string> text);

// Percent-encodes every byte but the unreserved characters (letters, digits, "-", ".", "_", "~").
VELO_STANDIN_API std::string PercentEncode(const std::string& text);

// Calls the installed observer of the record's kind on this thread. False when none is installed.
VELO_STANDIN_API bool FireLoginResult(const VeloLoginRet& ret);
VELO_STANDIN_API bool FireBaseResult(const VeloBaseRet& ret);
VELO_STANDIN_API bool FireQrCodeResult(const VeloQrCodeRet& ret);
VELO_STANDIN_API bool FireAccountResult(const VeloAccountRet& ret);
VELO_STANDIN_API bool FireNoticeResult(const VeloNoticeRet& ret);
VELO_STANDIN_API bool FireWebViewResult(const VeloWebViewRet& ret);

// In answering mode the core answers each request the way the real one does: a little later, on
// a thread of its own, with a plausible record through the installed observer. Off by default,
// or on when the environment variable VELO_STANDIN_ANSWER is set to 1 at load.
VELO_STANDIN_API void SetAnswering(bool on);
// Runs `task` on the core's own thread, in any mode, after what is queued there already.
VELO_STANDIN_API void RunOnCoreThread(std::function<void()> task);
// Blocks until everything queued on the core's thread so far has run (with the manual clock:
// everything that is due), and returns true. Called on the core's own thread (from a callback it
// runs) it cannot wait for itself: it returns false at once.
VELO_STANDIN_API bool WaitForAnswers();

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
