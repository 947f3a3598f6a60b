// Running out of memory at any allocation of any export or result handler: no crash, no leak,
// and either the whole behaviour or none of it.
#include <algorithm>
#include <cstring>

#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

// The callback copies into static storage, so that it allocates nothing itself.
char g_text[1 << 16];
int g_deliveries = 0;
void StaticCallback(int, const char* json) {
    const std::size_t size = std::min(std::strlen(json), sizeof g_text - 1);
    std::memcpy(g_text, json, size);
    g_text[size] = '\0';
    ++g_deliveries;
}

// What a run produced that the game could see.
struct Outcome {
    std::string returned;  // a returned text; "(null)" for none
    std::string delivered;
    int deliveries = 0;
};

std::size_t AllObservers() {
    std::size_t count = 0;
    for (const auto kind : {StandIn::ObserverKind::Login, StandIn::ObserverKind::Account,
                            StandIn::ObserverKind::Notice, StandIn::ObserverKind::WebView}) {
        count += StandIn::Observers(kind).size();
    }
    return count;
}

class AllocationFailureTest : public ::testing::TestWithParam<RequestCase> {
  protected:
    void SetUp() override {
        VELO_REQUIRE_HEAP_HOOKS();
        setUnityCallback(&StaticCallback);
    }

    // Runs the case with allocation `failAt` failing (0: none). The core saw the whole call or
    // none of it, and nothing the run allocated outlives it but the observers it installed.
    Outcome Run(std::size_t failAt, bool* failed) {
        StandIn::Reset();
        StandIn::SetNoticeDataAnswer("notices");
        g_deliveries = 0;
        g_text[0] = '\0';
        const std::size_t observersBefore = AllObservers();
        Outcome outcome;
        AllocationWindow window;
        AllocationHooks::FailAt(failAt);
        GetParam().call();
        *failed = AllocationHooks::Counts().failed;
        AllocationHooks::FailAt(0);
        AllocationHooks::Pause(true);  // what the test reads is not the run's
        char* returned = Kept();
        outcome.returned = returned != nullptr ? returned : "(null)";
        outcome.delivered = g_text;
        outcome.deliveries = g_deliveries;
        const std::size_t installed = AllObservers() - observersBefore;
        if (!StandIn::Calls().empty()) {
            ExpectSingleCall(GetParam().operation, GetParam().args);
        }
        AllocationHooks::Pause(false);
        releaseTextAdapter(returned);
        StandIn::Reset();
        EXPECT_EQ(AllocationHooks::Counts().live, static_cast<long>(installed))
            << "allocations outlive the run (failing allocation " << failAt << ")";
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
        // A returned text is whole or null; a result is delivered whole or not at all.
        EXPECT_TRUE(outcome.returned == whole.returned || outcome.returned == "(null)");
        EXPECT_LE(outcome.deliveries, whole.deliveries);
        if (outcome.deliveries > 0) {
            EXPECT_EQ(outcome.delivered, whole.delivered);
        }
        ASSERT_LT(failAt, 10000u);
    }
    EXPECT_GT(failAt, 1u) << "the case allocated nothing";
}

// Records are the core's: built before any run, so that their allocations are not the runs'.
// Their texts are long enough that writing them outgrows a writer's own storage.
const std::string kLong(5000, 'x');
template <class Record>
Record WithLongTexts() {
    Record ret;
    ret.msg = kLong;
    ret.extraJson = kLong;
    return ret;
}
const Velo::VeloNoticeRet kNoticeRecord = [] {
    auto ret = WithLongTexts<Velo::VeloNoticeRet>();
    Velo::VeloNoticeInfo notice;
    notice.notice_text_obj = {"title", "content \"quoted\" " + kLong, ""};
    notice.notice_pic_list = {{"url", "hash", "title", "12", 1}, {"u2", "h2", "t2", "3", 2}};
    ret.notice_list = {notice, notice};
    return ret;
}();
const Velo::VeloLoginRet kLoginRecord = [] {
    Velo::VeloLoginRet login;
    login.openid = kLong;
    login.bind_list = "[1]";
    return login;
}();
const Velo::VeloBaseRet kBaseRecord = WithLongTexts<Velo::VeloBaseRet>();
const Velo::VeloQrCodeRet kQrCodeRecord = WithLongTexts<Velo::VeloQrCodeRet>();
const Velo::VeloAccountRet kAccountRecord = WithLongTexts<Velo::VeloAccountRet>();
const Velo::VeloWebViewRet kWebViewRecord = WithLongTexts<Velo::VeloWebViewRet>();

// Every request export, every installer and every kind of result (no core call expected).
std::vector<RequestCase> Everything() {
    std::vector<RequestCase> cases = Requests();
    const std::vector<RequestCase> more = {
        {"SetUnityCallback", [] { setUnityCallback(&StaticCallback); }, "", {}},
        {"SetLoginObserver", [] { setLoginObserverAdapter(); }, "", {}},
        {"SetAccountObserver", [] { setAccountObserverAdapter(); }, "", {}},
        {"SetNoticeObserver", [] { setNoticeObserverAdapter(); }, "", {}},
        {"SetWebViewObserver", [] { setWebViewObserverAdapter(); }, "", {}},
        {"LoginResult", [] { StandIn::FireLoginResult(kLoginRecord); }, "", {}},
        {"BaseResult", [] { StandIn::FireBaseResult(kBaseRecord); }, "", {}},
        {"QrCodeResult", [] { StandIn::FireQrCodeResult(kQrCodeRecord); }, "", {}},
        {"AccountResult", [] { StandIn::FireAccountResult(kAccountRecord); }, "", {}},
        {"NoticeResult", [] { StandIn::FireNoticeResult(kNoticeRecord); }, "", {}},
        {"WebViewResult", [] { StandIn::FireWebViewResult(kWebViewRecord); }, "", {}}};
    cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Everything, AllocationFailureTest, ::testing::ValuesIn(Everything()),
                         [](const ::testing::TestParamInfo<RequestCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace VeloTest
