// The core's facade operations: each records its call and, in answering mode, queues an answer.
#include <cstdarg>
#include <cstdio>

#include "Scenario.h"
#include "StandInState.h"

namespace Corvan {
namespace Velo {

using StandIn::GlobalState;
using StandIn::Record;

namespace {

template <class Observer>
void Install(std::vector<Observer*>& observers, Observer* observer) {
    StandIn::State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    observers.push_back(observer);
}

}  // namespace

void VeloLogin::SetLoginObserver(VeloLoginObserver* observer) {
    Install(GlobalState().loginObservers, observer);
}

void VeloLogin::Login(const String& a, const String& b, const String& c, const String& d) {
    Record("Login", a, b, c, d);
}

void VeloLogin::AutoLogin() {
    Record("AutoLogin");
}

void VeloLogin::Logout(const String& a, const String& b, bool flag) {
    Record("Logout", a, b, flag);
}

void VeloLogin::Bind(const String& a, const String& b, const String& c, const String& d) {
    Record("Bind", a, b, c, d);
}

void VeloLogin::CanBind(const String& a, const String& b, const String& c) {
    Record("CanBind", a, b, c);
}

void VeloLogin::LoginWithConfirmCode(int code, const String& a, const String& b) {
    Record("LoginWithConfirmCode", code, a, b);
}

void VeloLogin::PreLoadParleyLibrary() {
    Record("PreLoadParleyLibrary");
}

void VeloLogin::SetInstallChannel(const String& channel) {
    Record("SetInstallChannel", channel);
}

void VeloLogin::OnRealNameAuthFinished(const String& a, const String& b, const String& c,
                                       bool flag) {
    Record("OnRealNameAuthFinished", a, b, c, flag);
}

void VeloLogin::UnInstall() {
    Record("UnInstall");
}

// A core of a release without the login snapshot, as the load-failure tests build it, lacks it.
#if !defined(VELO_STANDIN_WITHOUT_LOGIN_SNAPSHOT)
bool VeloLogin::GetLoginRet(VeloLoginRet& ret) {
    Record("GetLoginRet");
    if (StandIn::TakeReturnedLogin(ret)) {
        return true;
    }
    std::function<bool(VeloLoginRet&)> answer;
    {
        StandIn::State& state = GlobalState();
        std::lock_guard<std::mutex> lock(state.mutex);
        answer = state.loginRetAnswer;
    }
    return answer ? answer(ret) : StandIn::SessionLoginRet(ret);
}
#endif

void VeloAccount::SetAccountObserver(VeloAccountObserver* observer) {
    Install(GlobalState().accountObservers, observer);
}

void VeloAccount::RequestVerifyCode(const String& s1, const String& s2, int i3, int i4,
                                    const String& s5, const String& s6, const String& s7) {
    Record("RequestVerifyCode", s1, s2, i3, i4, s5, s6, s7);
}

void VeloAccount::ResetPassword(const String& s1, int i2, const String& s3, const String& s4,
                                const String& s5, int i6, int i7, const String& s8,
                                const String& s9, const String& s10) {
    Record("ResetPassword", s1, i2, s3, s4, s5, i6, i7, s8, s9, s10);
}

void VeloAccount::Modify(const String& s1, int i2, const String& s3, int i4, int i5, int i6,
                         const String& s7, const String& s8, int i9, const String& s10,
                         const String& s11, const String& s12, const String& s13) {
    Record("Modify", s1, i2, s3, i4, i5, i6, s7, s8, i9, s10, s11, s12, s13);
}

void VeloAccount::GetRegisterStatus(const String& s1, const String& s2, int i3, const String& s4,
                                    const String& s5, const String& s6) {
    Record("GetRegisterStatus", s1, s2, i3, s4, s5, s6);
}

void VeloAccount::GetVerifyCodeStatus(const String& s1, const String& s2, int i3, int i4, int i5,
                                      const String& s6, const String& s7, const String& s8) {
    Record("GetVerifyCodeStatus", s1, s2, i3, i4, i5, s6, s7, s8);
}

void VeloAccount::GetReceiveEmail(const String& s1, const String& s2, int i3, const String& s4,
                                  const String& s5, const String& s6) {
    Record("GetReceiveEmail", s1, s2, i3, s4, s5, s6);
}

void VeloAccount::VerifyPassword(const String& s1, const String& s2, const String& s3, int i4,
                                 const String& s5, const String& s6, const String& s7) {
    Record("VerifyPassword", s1, s2, s3, i4, s5, s6, s7);
}

void VeloNotice::SetNoticeObserver(VeloNoticeObserver* observer) {
    Install(GlobalState().noticeObservers, observer);
}

std::string VeloNotice::LoadNoticeData(const String& s1, const String& s2, int i3, const String& s4,
                                       const String& s5) {
    Record("LoadNoticeData", s1, s2, i3, s4, s5);
    return StandIn::NoticeDataAnswer();
}

void VeloWebView::SetWebViewObserver(VeloWebViewObserver* observer) {
    Install(GlobalState().webViewObservers, observer);
}

void VeloWebView::OpenUrl(const String& url, int i2, bool b3, bool b4, const String& s5, bool b6) {
    Record("OpenUrl", url, i2, b3, b4, s5, b6);
}

std::string VeloWebView::GetEncodeUrl(const String& url) {
    Record("GetEncodeUrl", url);
    if (std::optional<std::string> scripted = StandIn::TakeReturnedText()) {
        return *scripted;
    }
    std::optional<std::string> answer;
    {
        StandIn::State& state = GlobalState();
        std::lock_guard<std::mutex> lock(state.mutex);
        answer = state.encodeUrlAnswer;
    }
    if (answer) {
        return *answer;
    }
    return StandIn::PercentEncode(url.data != nullptr ? std::string(url.data, url.length) : "");
}

void VeloWebView::CallJS(const String& script) {
    Record("CallJS", script);
}

void VeloWebView::OpenOxaCenter(const String& s1, const String& s2, const String& s3,
                                const String& s4, const String& s5, const String& s6, int i7,
                                const String& s8) {
    Record("OpenOxaCenter", s1, s2, s3, s4, s5, s6, i7, s8);
}

void VeloWebView::OpenDeleteAccountUrl(const String& s1, int i2, bool b3, const String& s4) {
    Record("OpenDeleteAccountUrl", s1, i2, b3, s4);
}

void VeloWebView::Close() {
    Record("Close");
}

void VeloTools::SetLanguage(const char* language) {
    Record("SetLanguage", language);
}

void VeloTools::SetRegion(const char* a, const char* b, const char* c) {
    Record("SetRegion", a, b, c);
}

VeloLog* VeloLog::GetInstance() {
    static VeloLog instance;
    return &instance;
}

void VeloLog::PrintLog(VeloLogLevel level, char* file, char* function, int line, char* format,
                       ...) {
    StandIn::LogLine entry;
    entry.level = static_cast<int>(level);
    entry.file = file != nullptr ? file : "";
    entry.function = function != nullptr ? function : "";
    entry.line = line;
    entry.format = format != nullptr ? format : "";
    if (format != nullptr) {
        char message[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
        entry.message = message;
    }
    StandIn::State& state = GlobalState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.logLines.Add(std::move(entry), state.recordLimit);
}

}  // namespace Velo
}  // namespace Corvan
