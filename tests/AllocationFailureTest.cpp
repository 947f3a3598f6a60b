// Running out of memory at any allocation of any export or result handler: no crash, no leak,
// and either the whole behaviour or none of it.
#include <algorithm>
#include <cstring>
#include <functional>

#include "support/AllocationHooks.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

using Corvan::Velo::StandIn::RecordedArg;
using Corvan::Velo::StandIn::RecordedCall;
namespace StandIn = Corvan::Velo::StandIn;
namespace Velo = Corvan::Velo;

// What a run produced that the game or the core could see.
struct Outcome {
    std::vector<RecordedCall> calls;
    std::string returned;  // a returned text; "(null)" for a null pointer
    std::string delivered;
    int deliveries = 0;
};

// The callback copies into static storage, so that it allocates nothing itself.
char g_text[1 << 16];
int g_deliveries = 0;
void StaticCallback(int, const char* json) {
    const std::size_t size = std::min(std::strlen(json), sizeof g_text - 1);
    std::memcpy(g_text, json, size);
    g_text[size] = '\0';
    ++g_deliveries;
}

char* g_returned = nullptr;
bool g_returns = false;

struct FailureCase {
    const char* name;
    std::function<void()> run;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

std::size_t AllObservers() {
    std::size_t count = 0;
    for (const auto kind : {StandIn::ObserverKind::Login, StandIn::ObserverKind::Account,
                            StandIn::ObserverKind::Notice, StandIn::ObserverKind::WebView}) {
        count += StandIn::Observers(kind).size();
    }
    return count;
}

bool SameArg(const RecordedArg& a, const RecordedArg& b) {
    return a.kind == b.kind && a.bytes == b.bytes && a.length == b.length &&
           a.terminated == b.terminated && a.null == b.null && a.integer == b.integer &&
           a.flagByte == b.flagByte &&
           (a.kind != RecordedArg::Kind::CText || a.pointer == b.pointer);
}

bool SameCalls(const std::vector<RecordedCall>& a, const std::vector<RecordedCall>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].operation != b[i].operation || a[i].args.size() != b[i].args.size()) {
            return false;
        }
        for (std::size_t j = 0; j < a[i].args.size(); ++j) {
            if (!SameArg(a[i].args[j], b[i].args[j])) {
                return false;
            }
        }
    }
    return true;
}

class AllocationFailureTest : public ::testing::TestWithParam<FailureCase> {
  protected:
    void SetUp() override {
        if (!AllocationHooks::Available()) {
            GTEST_SKIP() << "the C runtime heap cannot be replaced from a test on this platform";
        }
        setUnityCallback(&StaticCallback);
    }

    // Runs the case once; `failAt` 0 lets every allocation succeed. Checks that nothing the run
    // allocated outlives it but the observers it installed.
    Outcome Run(std::size_t failAt, bool* failed) {
        StandIn::Reset();
        StandIn::SetNoticeDataAnswer("notices");
        g_deliveries = 0;
        g_text[0] = '\0';
        g_returned = nullptr;
        g_returns = false;
        const std::size_t observersBefore = AllObservers();
        Outcome outcome;
        {
            AllocationWindow window;
            AllocationHooks::FailAt(failAt);
            GetParam().run();
            *failed = AllocationHooks::Failed();
            AllocationHooks::FailAt(0);
            // Read what the run produced without counting the copies.
            AllocationHooks::Pause(true);
            outcome.calls = StandIn::Calls();
            if (g_returns) {
                outcome.returned = g_returned != nullptr ? g_returned : "(null)";
            }
            outcome.delivered = g_text;
            outcome.deliveries = g_deliveries;
            const std::size_t installed = AllObservers() - observersBefore;
            AllocationHooks::Pause(false);
            // Release what the run handed out; only the installed observers may remain.
            releaseTextAdapter(g_returned);
            StandIn::Reset();
            EXPECT_EQ(AllocationHooks::LiveAllocations(), static_cast<long>(installed))
                << "allocations outlive the run (failing allocation " << failAt << ")";
        }
        return outcome;
    }
};

TEST_P(AllocationFailureTest, EveryFailingAllocationGivesAllOrNothingAndNoLeak) {
    bool failed = false;
    const Outcome whole = Run(0, &failed);
    ASSERT_FALSE(failed);
    std::size_t failAt = 1;
    for (;; ++failAt) {
        SCOPED_TRACE("failing allocation " + std::to_string(failAt));
        const Outcome outcome = Run(failAt, &failed);
        if (!failed) {
            break;  // past the last allocation: the run went through whole
        }
        // The core saw the whole call or none of it.
        EXPECT_TRUE(outcome.calls.empty() || SameCalls(outcome.calls, whole.calls));
        // A returned text is whole or null.
        if (!whole.returned.empty()) {
            EXPECT_TRUE(outcome.returned == whole.returned || outcome.returned == "(null)")
                << outcome.returned;
        }
        // A result is delivered whole or not at all.
        EXPECT_LE(outcome.deliveries, whole.deliveries);
        if (outcome.deliveries > 0) {
            EXPECT_EQ(outcome.delivered, whole.delivered);
        }
        ASSERT_LT(failAt, 10000u);
    }
    EXPECT_GT(failAt, 1u) << "the case allocated nothing";
}

void Returns(char* text) {
    g_returned = text;
    g_returns = true;
}

Velo::VeloNoticeRet NoticeRecord() {
    Velo::VeloNoticeRet ret;
    ret.methodNameID = 3;
    ret.msg = "notices";
    Velo::VeloNoticeInfo notice;
    notice.notice_text_obj = {"title", "content \"quoted\" " + std::string(3000, 'c'), ""};
    notice.notice_pic_list = {{"url", "hash", "title", "12", 1}, {"u2", "h2", "t2", "3", 2}};
    ret.notice_list = {notice, notice};
    return ret;
}

// Records are the core's: built before any run, so that their allocations are not the runs'.
// Their texts are long enough that writing them outgrows a writer's own storage and reaches for
// the heap.
const std::string kLong(5000, 'x');
const Velo::VeloNoticeRet kNoticeRecord = NoticeRecord();
const Velo::VeloLoginRet kLoginRecord = [] {
    Velo::VeloLoginRet login;
    login.openid = kLong;
    login.bind_list = "[1]";
    return login;
}();
template <class Record>
Record WithLongTexts() {
    Record ret;
    ret.msg = kLong;
    ret.extraJson = kLong;
    return ret;
}
const Velo::VeloBaseRet kBaseRecord = WithLongTexts<Velo::VeloBaseRet>();
const Velo::VeloQrCodeRet kQrCodeRecord = WithLongTexts<Velo::VeloQrCodeRet>();
const Velo::VeloAccountRet kAccountRecord = WithLongTexts<Velo::VeloAccountRet>();
const Velo::VeloWebViewRet kWebViewRecord = WithLongTexts<Velo::VeloWebViewRet>();

INSTANTIATE_TEST_SUITE_P(
    Everything, AllocationFailureTest,
    ::testing::Values(
        FailureCase{"SetUnityCallback", [] { setUnityCallback(&StaticCallback); }},
        FailureCase{"SetLoginObserver", [] { setLoginObserverAdapter(); }},
        FailureCase{"SetAccountObserver", [] { setAccountObserverAdapter(); }},
        FailureCase{"SetNoticeObserver", [] { setNoticeObserverAdapter(); }},
        FailureCase{"SetWebViewObserver", [] { setWebViewObserverAdapter(); }},
        FailureCase{"Login", [] { loginAdapter("a", "b", "c", "d"); }},
        FailureCase{"AutoLogin", [] { autoLoginAdapter(); }},
        FailureCase{"Logout", [] { logoutAdapter("a", "b", true); }},
        FailureCase{"Bind", [] { bindAdapter("a", "b", "c", "d"); }},
        FailureCase{"CanBind", [] { canBindAdapter("a", "b", "c"); }},
        FailureCase{"LoginWithConfirmcode", [] { loginWithConfirmcodeAdapter(1, "a", "b"); }},
        FailureCase{"PreLoadParleyLibrary", [] { preLoadParleyLibraryAdapter(); }},
        FailureCase{"SetInstallChannel", [] { setInstallChannelAdapter("a"); }},
        FailureCase{"OnRealNameAuthFinished",
                    [] { onRealNameAuthFinishedAdapter("a", "b", "c", true); }},
        FailureCase{"UnInstall", [] { unInstallAdapter(); }},
        FailureCase{"GetLoginRet", [] { Returns(getLoginRetAdapter()); }},
        FailureCase{"RequestVerifyCode",
                    [] { requestVerifyCodeAdapter("a", "b", 1, 2, "c", "d", "e"); }},
        FailureCase{"ResetPassword",
                    [] { resetPasswordAdapter("a", 1, "b", "c", "d", 2, 3, "e", "f", "g"); }},
        FailureCase{"Modify",
                    [] { modifyAdapter("a", 1, "b", 2, 3, 4, "c", "d", 5, "e", "f", "g", "h"); }},
        FailureCase{"GetRegisterStatus",
                    [] { getRegisterStatusAdapter("a", "b", 1, "c", "d", "e"); }},
        FailureCase{"GetVerifyCodeStatus",
                    [] { getVerifyCodeStatusAdapter("a", "b", 1, 2, 3, "c", "d", "e"); }},
        FailureCase{"GetReceiveEmail", [] { getReceiveEmailAdapter("a", "b", 1, "c", "d", "e"); }},
        FailureCase{"VerifyPassword",
                    [] { verifyPasswordAdapter("a", "b", "c", 1, "d", "e", "f"); }},
        FailureCase{"LoadNoticeData",
                    [] { Returns(loadNoticeDataAdapter("a", "b", 1, "c", "d")); }},
        FailureCase{"OpenUrl", [] { openUrlAdapter("a", 1, true, false, "b", true); }},
        FailureCase{"GetEncodeUrl", [] { Returns(getEncodeUrlAdapter("a b")); }},
        FailureCase{"CallJS", [] { callJSAdapter("a"); }},
        FailureCase{"OpenOxaCenter",
                    [] { openOxaCenterAdapter("a", "b", "c", "d", "e", "f", 1, "g"); }},
        FailureCase{"OpenDeleteAccountUrl", [] { openDeleteAccountUrlAdapter("a", 1, true, "b"); }},
        FailureCase{"Close", [] { closeAdapter(); }},
        FailureCase{"SetLanguage", [] { setLanguageAdapter("en"); }},
        FailureCase{"SetRegion", [] { setRegionAdapter("a", "b", "c"); }},
        FailureCase{"LoginResult", [] { StandIn::FireLoginResult(kLoginRecord); }},
        FailureCase{"BaseResult", [] { StandIn::FireBaseResult(kBaseRecord); }},
        FailureCase{"QrCodeResult", [] { StandIn::FireQrCodeResult(kQrCodeRecord); }},
        FailureCase{"AccountResult", [] { StandIn::FireAccountResult(kAccountRecord); }},
        FailureCase{"NoticeResult", [] { StandIn::FireNoticeResult(kNoticeRecord); }},
        FailureCase{"WebViewResult", [] { StandIn::FireWebViewResult(kWebViewRecord); }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace VeloTest
