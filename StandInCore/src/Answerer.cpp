// Answering mode: results arrive the way the real core sends them, later and from a thread of the
// core's own, one plausible record per request.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <thread>

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

    bool answering() {
        std::lock_guard<std::mutex> lock(mutex_);
        return answering_;
    }

    void SetAnswering(bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        answering_ = on;
    }

    // Answers are queued in answering mode only, and come after a short delay as over a network;
    // other tasks run as soon as the thread gets to them.
    void Queue(std::function<void()> task, bool answer = true) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (answer && !answering_) {
            return;
        }
        queue_.push_back(Task{std::move(task), answer});
        if (!running_) {
            if (worker_.joinable()) {
                worker_.join();  // it has left its loop already
            }
            running_ = true;
            worker_ = std::thread([this] { Run(); });
        }
    }

    // Returns true once the queue is empty and the thread has ended: a thread that called into a
    // managed runtime is released by it only when the thread ends, and a runtime shutting down
    // would otherwise wait for it. On the core's own thread, which would wait for itself, returns
    // false at once.
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

    // Runs queued tasks until the queue is empty, then ends; the next task starts a new thread.
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!queue_.empty()) {
            Task task = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            if (task.answer) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            task.run();
            lock.lock();
        }
        running_ = false;
        idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    struct Task {
        std::function<void()> run;
        bool answer;
    };
    std::deque<Task> queue_;
    std::thread worker_;
    bool answering_;
    bool running_ = false;
};

Answerer& TheAnswerer() {
    return LibraryObject<Answerer>();
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

void Answer(const std::string& operation, const std::vector<RecordedArg>& args) {
    if (TheAnswerer().answering()) {
        QueueAnswer(operation, args);
    }
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
