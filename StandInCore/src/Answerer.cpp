// Answering mode: results arrive the way the real core sends them, later and from a thread of the
// core's own, one plausible record per request; or, playing a scenario, the results it scripts,
// at their times on the core's clock.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <thread>

#include "Scenario.h"
#include "StandInState.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

namespace {

// Method numbers the stand-in reports its answers under.
enum MethodNumber {
    kLogin = 101,
    kAutoLogin,
    kLogout,
    kBind,
    kCanBind,
    kLoginWithConfirmCode,
    kPreLoadParleyLibrary,
    kSetInstallChannel,
    kOnRealNameAuthFinished,
    kUnInstall,
    kQrCode,
    kAccount = 201,
    kNotice = 301,
    kWebView = 401,
};

// How a playing scenario handles a request.
enum class Handling { Unscripted, Scripted, Refused };

// Delivers a scripted result; `endsSession`: it answers Logout.
void Deliver(const ResultRecord& record, bool endsSession);

class Answerer {
  public:
    Answerer() : answering_(EnabledByEnvironment()) {
        GlobalState();  // outlives the worker, which uses it
    }
    // Runs when the library unloads, which its users do once WaitForAnswers or Reset returned
    // (the thread's code goes with the library), or at process exit, when the thread has been
    // ended already. A thread that left its loop is let go rather than joined: while the library
    // unloads, its end waits for the loader, which waits for this.
    ~Answerer() {
        if (worker_.joinable()) {
            worker_.detach();
        }
    }

    // In answering mode, or playing a scenario.
    bool answering() {
        std::lock_guard<std::mutex> lock(mutex_);
        return Answering();
    }

    void SetAnswering(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        answering_ = on;
    }

    // Answers are queued in answering mode only, and come after a short delay as over a network;
    // other tasks run as soon as the thread gets to them.
    void Queue(std::function<void()> task, bool answer = true) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (answer && !Answering()) {
            return;
        }
        Add(Task{std::move(task), false, Now() + (answer ? kAnswerDelay : 0)});
    }

    // Plays `scenario` (none: stops playing), forgetting the answers of the one before that are
    // still to come.
    void Play(std::shared_ptr<Scenario> scenario) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto scripted = std::remove_if(queue_.begin(), queue_.end(),
                                             [](const Task& task) { return task.scripted; });
        queue_.erase(scripted, queue_.end());
        scenario_ = std::move(scenario);
        wake_.notify_all();
    }

    // How the playing scenario handles `operation` called with `args`: its answers queued at
    // their times, what it returns at once kept for this thread.
    Handling Script(const std::string& operation, const std::vector<RecordedArg>& args) {
        std::lock_guard<std::mutex> lock(mutex_);
        Returned();
        if (!scenario_) {
            return Handling::Unscripted;
        }
        const Rule* rule = scenario_->Match(operation, args);
        const std::thread::id thread = std::this_thread::get_id();
        if (rule != nullptr && rule->returns) {
            returned_.emplace_back(thread, *rule->returns);
        } else if (operation == "LoadNoticeData" && scenario_->noticeData) {
            returned_.emplace_back(thread, *scenario_->noticeData);
        } else if (operation == "GetEncodeUrl" && scenario_->encodeUrl) {
            returned_.emplace_back(thread, *scenario_->encodeUrl);
        }
        const Outcome outcome = rule != nullptr ? rule->outcome : scenario_->unmatched;
        if (outcome == Outcome::Refuse) {
            return Handling::Refused;
        }
        if (rule == nullptr) {
            // As answering mode answers it, or dropped.
            return outcome == Outcome::Answer ? Handling::Unscripted : Handling::Scripted;
        }
        Millis due = Now();
        const bool endsSession = operation == "Logout";
        for (const ScriptedAnswer& answer : rule->answers) {
            due += answer.delay;
            Add(Task{[scenario = scenario_, &answer, endsSession] {
                         Deliver(answer.record, endsSession);
                     },
                     true, due});
        }
        return Handling::Scripted;
    }

    // Takes what Script said the operation this thread called last returns at once.
    std::optional<ImmediateReturn> TakeReturned() {
        std::lock_guard<std::mutex> lock(mutex_);
        return Returned();
    }

    // The core's clock: the real one, or one that moves only when told (Advance).
    Millis ClockNow() {
        std::lock_guard<std::mutex> lock(mutex_);
        return Now();
    }

    void SetManualClock(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (on == manual_) {
            return;
        }
        const Millis real = RealNow();
        if (on) {
            manualNow_ = real;
        } else {
            for (Task& task : queue_) {
                task.due += real - manualNow_;  // as long from now as they were
            }
        }
        manual_ = on;
        if (!running_ && !queue_.empty()) {
            Start();
        }
        wake_.notify_all();
    }

    // Moves the manual clock on by `milliseconds`, then waits as WaitIdle does: until nothing
    // that is due is left. False with the real clock, which is not moved, and on the core's own
    // thread, which cannot wait for itself.
    bool Advance(Millis milliseconds) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!manual_) {
                return false;
            }
            manualNow_ += milliseconds;
            if (!running_ && !queue_.empty() && queue_.front().due <= manualNow_) {
                Start();
            }
        }
        return WaitIdle();
    }

    // Returns true once the queue holds nothing that is due and the thread has ended (with the
    // real clock: once the queue is empty): a thread that called into a managed runtime is
    // released by it only when the thread ends, and a runtime shutting down would otherwise wait
    // for it. On the core's own thread, which would wait for itself, returns false at once.
    bool WaitIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (running_ && worker_.get_id() == std::this_thread::get_id()) {
            return false;
        }
        idle_.wait(lock, [this] { return !running_; });
        std::thread finished = std::move(worker_);
        lock.unlock();
        if (finished.joinable()) {
            finished.join();
        }
        return true;
    }

    // The login the core holds after a successful login; GetLoginRet reports it when no answer
    // is configured.
    std::optional<VeloLoginRet> session;

  private:
    static bool EnabledByEnvironment() {
#if defined(_WIN32)
        // The UCRT's own copy, as it asks, rather than getenv's pointer into the environment.
        char* value = nullptr;
        std::size_t size = 0;
        const bool enabled = _dupenv_s(&value, &size, "VELO_STANDIN_ANSWER") == 0 &&
                             value != nullptr && value[0] == '1';
        std::free(value);
        return enabled;
#else
        const char* value = std::getenv("VELO_STANDIN_ANSWER");
        return value != nullptr && value[0] == '1';
#endif
    }

    // Answering mode's answers come this long after the request, as over a network.
    static constexpr Millis kAnswerDelay = 20;

    struct Task {
        std::function<void()> run;
        bool scripted;  // a scenario's answer
        Millis due;     // when it runs, on the core's clock
    };

    static Millis RealNow() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    bool Answering() const {
        return answering_ || scenario_ != nullptr;
    }

    // Takes this thread's entry of returned_ (there is none without a scenario).
    std::optional<ImmediateReturn> Returned() {
        const auto mine = std::find_if(returned_.begin(), returned_.end(), [](const auto& entry) {
            return entry.first == std::this_thread::get_id();
        });
        if (mine == returned_.end()) {
            return std::nullopt;
        }
        std::optional<ImmediateReturn> taken = std::move(mine->second);
        returned_.erase(mine);
        return taken;
    }

    Millis Now() const {
        return manual_ ? manualNow_ : RealNow();
    }

    // Queues `task` after every task due no later than it, starting the thread if it has ended.
    void Add(Task task) {
        auto at = queue_.end();
        while (at != queue_.begin() && std::prev(at)->due > task.due) {
            --at;
        }
        queue_.insert(at, std::move(task));
        if (running_) {
            wake_.notify_all();
        } else {
            Start();
        }
    }

    void Start() {
        if (worker_.joinable()) {
            worker_.join();  // it has left its loop already
        }
        running_ = true;
        worker_ = std::thread([this] { Run(); });
    }

    // Runs queued tasks at their times until the queue is empty, then ends; the next task starts
    // a new thread. With the manual clock it also ends when the next task is not due: moving the
    // clock starts it again.
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            const Millis due = queue_.front().due;
            if (due > Now()) {
                if (manual_) {
                    break;
                }
                // Woken early by an earlier task, a dropped one or the clock's change.
                wake_.wait_until(
                    lock, std::chrono::steady_clock::time_point(std::chrono::milliseconds(due)));
                continue;
            }
            Task task = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            task.run();
            lock.lock();
        }
        running_ = false;
        idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    std::condition_variable wake_;
    std::deque<Task> queue_;
    std::thread worker_;
    bool answering_;
    bool running_ = false;
    std::shared_ptr<Scenario> scenario_;
    // What the operation a thread called last returns at once, as the scenario says: kept from
    // the call's recording to its return, on the calling thread.
    std::vector<std::pair<std::thread::id, ImmediateReturn>> returned_;
    bool manual_ = false;
    Millis manualNow_ = 0;
};

Answerer& TheAnswerer() {
    return LibraryObject<Answerer>();
}

void Deliver(const ResultRecord& record, bool endsSession) {
    // The login snapshot follows the session: a successful login becomes it, a successful
    // logout ends it.
    const auto* login = std::get_if<VeloLoginRet>(&record);
    if (EnvelopeOf(record).retCode == 0 && (login != nullptr || endsSession)) {
        std::lock_guard<std::mutex> lock(GlobalState().mutex);
        TheAnswerer().session =
            login != nullptr ? std::optional<VeloLoginRet>(*login) : std::nullopt;
    }
    FireResult(record);
}

std::string Text(const std::vector<RecordedArg>& args, std::size_t index) {
    return index < args.size() ? args[index].bytes : std::string();
}

template <class Record>
Record Succeeded(int methodNameID) {
    Record ret;
    ret.methodNameID = methodNameID;
    ret.retCode = 0;
    ret.retMsg = "success";
    ret.ret = 0;
    return ret;
}

VeloLoginRet LoginAnswer(int methodNameID, const std::string& channel) {
    VeloLoginRet ret = Succeeded<VeloLoginRet>(methodNameID);
    ret.openid = "7301952866427190";
    ret.token = "b3e1c6f0a94d27d5";
    ret.token_expire_time = 1798761600;
    ret.user_name = "Player One";
    ret.pf = "velo_demo";
    ret.pfKey = "5f2a1c";
    ret.channelid = 3;
    ret.channel = channel.empty() ? "Guest" : channel;
    ret.bind_list = "[{\"channel\":\"Guest\",\"channelid\":3}]";
    return ret;
}

VeloNoticeRet NoticeAnswer() {
    VeloNoticeRet ret = Succeeded<VeloNoticeRet>(kNotice);
    VeloNoticeInfo maintenance;
    maintenance.notice_id = 11;
    maintenance.notice_type = 1;
    maintenance.notice_group = "system";
    maintenance.start_time = 1798761600;
    maintenance.end_time = 1798848000;
    maintenance.language = "en";
    maintenance.notice_text_obj = {"Maintenance", "Servers restart at 04:00 UTC.\n\"Thank you!\"",
                                   ""};
    VeloNoticeInfo event = maintenance;
    event.notice_id = 12;
    event.notice_group = "event";
    event.notice_text_obj = {"Winter event", "Snowballs everywhere.", "https://example.com/ev"};
    event.notice_pic_list.push_back(
        {"https://example.com/ev.png", "9f86d081", "banner", "1024x512", 1});
    ret.notice_list = {maintenance, event};
    return ret;
}

void QueueAnswer(const std::string& operation, const std::vector<RecordedArg>& args) {
    Answerer& answerer = TheAnswerer();
    if (operation == "Login" || operation == "AutoLogin" || operation == "Bind" ||
        operation == "LoginWithConfirmCode") {
        const int method = operation == "Login"       ? kLogin
                           : operation == "AutoLogin" ? kAutoLogin
                           : operation == "Bind"      ? kBind
                                                      : kLoginWithConfirmCode;
        const VeloLoginRet ret = LoginAnswer(method, operation == "Login" ? Text(args, 0) : "");
        answerer.Queue([ret, &answerer] {
            {
                std::lock_guard<std::mutex> lock(GlobalState().mutex);
                answerer.session = ret;
            }
            FireLoginResult(ret);
        });
    } else if (operation == "Logout") {
        answerer.Queue([&answerer] {
            {
                std::lock_guard<std::mutex> lock(GlobalState().mutex);
                answerer.session.reset();
            }
            FireBaseResult(Succeeded<VeloBaseRet>(kLogout));
        });
    } else if (operation == "CanBind" || operation == "PreLoadParleyLibrary" ||
               operation == "SetInstallChannel" || operation == "OnRealNameAuthFinished" ||
               operation == "UnInstall") {
        const int method = operation == "CanBind"                ? kCanBind
                           : operation == "PreLoadParleyLibrary" ? kPreLoadParleyLibrary
                           : operation == "SetInstallChannel"    ? kSetInstallChannel
                           : operation == "UnInstall"            ? kUnInstall
                                                                 : kOnRealNameAuthFinished;
        answerer.Queue([method] { FireBaseResult(Succeeded<VeloBaseRet>(method)); });
    } else if (operation == "RequestVerifyCode" || operation == "ResetPassword" ||
               operation == "Modify" || operation == "GetRegisterStatus" ||
               operation == "GetVerifyCodeStatus" || operation == "GetReceiveEmail" ||
               operation == "VerifyPassword") {
        VeloAccountRet ret = Succeeded<VeloAccountRet>(kAccount);
        ret.channelID = 3;
        ret.channel = "Guest";
        ret.seq = "req-" + operation;
        ret.user_name = Text(args, 0);
        ret.uid = "7301952866427190";
        ret.expiretime = "60s";
        ret.expire_time = 60;
        ret.is_register = 1;
        answerer.Queue([ret] { FireAccountResult(ret); });
    } else if (operation == "LoadNoticeData") {
        answerer.Queue([] { FireNoticeResult(NoticeAnswer()); });
    } else if (operation == "OpenUrl" || operation == "CallJS" || operation == "OpenOxaCenter" ||
               operation == "OpenDeleteAccountUrl" || operation == "Close") {
        VeloWebViewRet ret = Succeeded<VeloWebViewRet>(kWebView);
        ret.embedUrl = operation == "CallJS" ? "" : Text(args, 0);
        if (operation == "OpenUrl") {
            for (const float progress : {0.25f, 1.0f}) {
                ret.msgType = 1;
                ret.embedProgress = progress;
                answerer.Queue([ret] { FireWebViewResult(ret); });
            }
            return;
        }
        ret.msgType = operation == "Close" ? 2 : 3;
        if (operation == "CallJS") {
            ret.msgJsonData = "{\"called\":\"" + Text(args, 0) + "\"}";
        }
        answerer.Queue([ret] { FireWebViewResult(ret); });
    }
}

}  // namespace

bool Answer(const std::string& operation, const std::vector<RecordedArg>& args) {
    Answerer& answerer = TheAnswerer();
    const Handling handling = answerer.Script(operation, args);
    if (handling == Handling::Unscripted && answerer.answering()) {
        QueueAnswer(operation, args);
    }
    return handling == Handling::Refused;
}

void PlayScenario(std::shared_ptr<Scenario> scenario) {
    std::optional<VeloLoginRet> login = scenario != nullptr ? scenario->loginRet : std::nullopt;
    TheAnswerer().Play(std::move(scenario));
    std::lock_guard<std::mutex> lock(GlobalState().mutex);
    TheAnswerer().session = std::move(login);
}

void StopScenario() {
    TheAnswerer().Play(nullptr);
}

bool TakeReturnedLogin(VeloLoginRet& ret) {
    std::optional<ImmediateReturn> returned = TheAnswerer().TakeReturned();
    VeloLoginRet* login = returned ? std::get_if<VeloLoginRet>(&*returned) : nullptr;
    if (login != nullptr) {
        ret = std::move(*login);
    }
    return login != nullptr;
}

std::optional<std::string> TakeReturnedText() {
    std::optional<ImmediateReturn> returned = TheAnswerer().TakeReturned();
    std::string* text = returned ? std::get_if<std::string>(&*returned) : nullptr;
    return text != nullptr ? std::optional<std::string>(std::move(*text)) : std::nullopt;
}

Millis ClockNow() {
    return TheAnswerer().ClockNow();
}

void SetManualClock(bool on) {
    TheAnswerer().SetManualClock(on);
}

bool AdvanceClock(Millis milliseconds) {
    return TheAnswerer().Advance(milliseconds);
}

bool SessionLoginRet(VeloLoginRet& ret) {
    std::lock_guard<std::mutex> lock(GlobalState().mutex);
    const std::optional<VeloLoginRet>& session = TheAnswerer().session;
    if (!session) {
        return false;
    }
    ret = *session;
    return true;
}

std::string NoticeDataAnswer() {
    if (std::optional<std::string> scripted = TakeReturnedText()) {
        return *scripted;
    }
    const bool answering = TheAnswerer().answering();
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.noticeDataAnswer.empty() && answering) {
        return R"({"ret":0,"msg":"loading","notice_count":2})";
    }
    return state.noticeDataAnswer;
}

void SetAnswering(bool on) {
    TheAnswerer().SetAnswering(on);
}

void RunOnCoreThread(std::function<void()> task) {
    TheAnswerer().Queue(std::move(task), false);
}

bool WaitForAnswers() {
    return TheAnswerer().WaitIdle();
}

bool Reset() {
    Answerer& answerer = TheAnswerer();
    answerer.SetAnswering(false);
    answerer.Play(nullptr);
    answerer.SetManualClock(false);
    const bool waited = answerer.WaitIdle();
    State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.Clear();
    state.logLines.Clear();
    state.loginRetAnswer = nullptr;
    std::string().swap(state.noticeDataAnswer);
    state.encodeUrlAnswer.reset();
    answerer.session.reset();
    SetThrowing(false);
    return waited;
}

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
