#include "StandInState.h"

#include <atomic>
#include <cstring>

namespace Corvan {
namespace Velo {
namespace StandIn {

State::State() {
    // Room for every observer a process installs, so that installing one allocates nothing but
    // the observer itself.
    constexpr std::size_t kObservers = 1 << 14;
    loginObservers.reserve(kObservers);
    accountObservers.reserve(kObservers);
    noticeObservers.reserve(kObservers);
    webViewObservers.reserve(kObservers);
}

State& GlobalState() {
    return LibraryObject<State>();
}

RecordedArg TextArg(const String& text) {
    RecordedArg arg;
    arg.kind = RecordedArg::Kind::Text;
    arg.length = text.length;
    arg.pointer = text.data;
    arg.null = text.data == nullptr;
    if (!arg.null) {
        arg.bytes.assign(text.data, text.length);
        arg.terminated = text.data[text.length] == '\0';
    }
    return arg;
}

RecordedArg IntArg(int value) {
    RecordedArg arg;
    arg.kind = RecordedArg::Kind::Int;
    arg.integer = value;
    return arg;
}

RecordedArg FlagArg(bool value) {
    RecordedArg arg;
    arg.kind = RecordedArg::Kind::Flag;
    arg.flag = value;
    std::memcpy(&arg.flagByte, &value, 1);
    return arg;
}

RecordedArg CTextArg(const char* text) {
    RecordedArg arg;
    arg.kind = RecordedArg::Kind::CText;
    arg.pointer = text;
    arg.null = text == nullptr;
    if (!arg.null) {
        arg.bytes = text;
    }
    return arg;
}

namespace {
std::atomic<bool> g_recording{true};
std::atomic<bool> g_throwing{false};
}  // namespace

bool Recording() {
    return g_recording.load(std::memory_order_relaxed);
}

void SetRecording(bool on) {
    g_recording.store(on);
}

void SetThrowing(bool on) {
    g_throwing.store(on);
}

void Store(const char* operation, std::vector<RecordedArg> args) {
    // A request the core refuses (set to throw, or by the scenario's rule) gets no answer.
    const bool refused = g_throwing.load() || Answer(operation, args);
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.Add(RecordedCall{operation, std::move(args)}, state.recordLimit);
    if (refused) {
        throw 42;
    }
}

std::vector<RecordedCall> Calls() {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.calls.Latest();
}

std::vector<LogLine> LogLines() {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.logLines.Latest();
}

void SetRecordLimit(std::size_t limit) {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.recordLimit = limit > 0 ? limit : 1;
    state.calls.Trim(state.recordLimit);
    state.logLines.Trim(state.recordLimit);
}

std::uint64_t DroppedCalls() {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.calls.dropped();
}

std::uint64_t DroppedLogLines() {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.logLines.dropped();
}

std::vector<const void*> Observers(ObserverKind kind) {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    switch (kind) {
        case ObserverKind::Login:
            return {state.loginObservers.begin(), state.loginObservers.end()};
        case ObserverKind::Account:
            return {state.accountObservers.begin(), state.accountObservers.end()};
        case ObserverKind::Notice:
            return {state.noticeObservers.begin(), state.noticeObservers.end()};
        case ObserverKind::WebView:
            return {state.webViewObservers.begin(), state.webViewObservers.end()};
    }
    return {};
}

void SetLoginRetAnswer(std::function<bool(VeloLoginRet&)> answer) {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.loginRetAnswer = std::move(answer);
}

void SetNoticeDataAnswer(std::string text) {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.noticeDataAnswer = std::move(text);
}

void SetEncodeUrlAnswer(std::optional<std::string> text) {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.encodeUrlAnswer = std::move(text);
}

std::string PercentEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~';
        if (unreserved) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

namespace {

template <class Observer>
Observer* Installed(const std::vector<Observer*>& observers) {
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return observers.empty() ? nullptr : observers.back();
}

// Calls `handler` on the installed observer, outside the lock: a handler may call back into the
// core.
template <class Observer, class Handler>
bool Fire(const std::vector<Observer*>& observers, Handler handler) {
    Observer* observer = Installed(observers);
    if (observer == nullptr) {
        return false;
    }
    handler(*observer);
    return true;
}

}  // namespace

bool FireLoginResult(const VeloLoginRet& ret) {
    return Fire(GlobalState().loginObservers,
                [&](VeloLoginObserver& observer) { observer.OnLoginResult(ret); });
}

bool FireBaseResult(const VeloBaseRet& ret) {
    return Fire(GlobalState().loginObservers,
                [&](VeloLoginObserver& observer) { observer.OnBaseResult(ret); });
}

bool FireQrCodeResult(const VeloQrCodeRet& ret) {
    return Fire(GlobalState().loginObservers,
                [&](VeloLoginObserver& observer) { observer.OnQrCodeResult(ret); });
}

bool FireAccountResult(const VeloAccountRet& ret) {
    return Fire(GlobalState().accountObservers,
                [&](VeloAccountObserver& observer) { observer.OnAccountResult(ret); });
}

bool FireNoticeResult(const VeloNoticeRet& ret) {
    return Fire(GlobalState().noticeObservers,
                [&](VeloNoticeObserver& observer) { observer.OnNoticeResult(ret); });
}

bool FireWebViewResult(const VeloWebViewRet& ret) {
    return Fire(GlobalState().webViewObservers,
                [&](VeloWebViewObserver& observer) { observer.OnWebViewResult(ret); });
}

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
