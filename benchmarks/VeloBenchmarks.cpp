// What a delivery and a request cost, each beside its limit: the same bytes written once with a
// plain RapidJSON writer into a buffer it reuses, or the core called directly with Strings built
// beforehand. And what a scripted answer costs, played from a scenario through the adapter,
// beside the same result fired through veloStandInFire from the core's thread.
//
// A baseline replays the delivered text: parsed once into a document at set-up, then written
// from it on every iteration, which writes exactly the adapter's bytes (checked at set-up).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "CountingHeap.h"
#include "VeloStandIn.h"
#include "VeloStandInC.h"
#include "VeloStandInScenarioC.h"
#include "VeloUnityAdapter.h"

namespace {

namespace Velo = Corvan::Velo;
namespace StandIn = Corvan::Velo::StandIn;

std::string g_lastText;
bool g_keepText = false;

void Receive(int, const char* json) {
    if (g_keepText) {
        g_lastText = json;
    }
    benchmark::DoNotOptimize(json);
}

// Realistic texts: a few hundred bytes with quotation marks and line feeds.
std::string Paragraph(int seed) {
    std::string text = "Dear players,\n\nthe \"Winter Festival\" starts on day " +
                       std::to_string(seed) +
                       ". Log in daily to collect snowflakes and trade them "
                       "for the \"Frost Crown\" at the event shop.\nMaintenance runs from 04:00 "
                       "to 06:00 UTC; servers are closed meanwhile.\nThank you for playing!";
    return text;
}

Velo::VeloLoginRet LoginRecord() {
    Velo::VeloLoginRet ret;
    ret.methodNameID = 101;
    ret.retCode = 0;
    ret.retMsg = "success";
    ret.ret = 0;
    ret.extraJson = R"({"session":"5c2f","region":"EU"})";
    ret.openid = "7301952866427190";
    ret.token = "b3e1c6f0a94d27d5b3e1c6f0a94d27d5";
    ret.token_expire_time = 4102444800LL;
    ret.user_name = "Player \"One\"";
    ret.picture_url = "https://cdn.example.com/avatars/7301952866427190.png";
    ret.pf = "velo_pc";
    ret.pfKey = "5f2a1c9e";
    ret.channelid = 3;
    ret.channel = "Guest";
    ret.bind_list = R"([{"channel":"Guest","channelid":3},{"channel":"Mail","channelid":5}])";
    return ret;
}

Velo::VeloAccountRet AccountRecord() {
    Velo::VeloAccountRet ret;
    ret.methodNameID = 201;
    ret.retCode = 0;
    ret.retMsg = "success";
    ret.ret = 0;
    ret.channelID = 5;
    ret.channel = "Mail";
    ret.seq = "req-0001";
    ret.user_name = "player@example.com";
    ret.uid = "7301952866427190";
    ret.token = "b3e1c6f0a94d27d5";
    ret.expiretime = "2026-12-31T23:59:59Z";
    ret.expire_time = 60;
    ret.is_register = 1;
    return ret;
}

Velo::VeloQrCodeRet QrCodeRecord() {
    Velo::VeloQrCodeRet ret;
    ret.methodNameID = 111;
    ret.retCode = 0;
    ret.retMsg = "success";
    ret.ret = 0;
    ret.channelID = 9;
    ret.channel = "QR";
    ret.qrCodeUrl = "https://login.example.com/qr?ticket=9f86d081884c7d65&lang=en";
    return ret;
}

Velo::VeloWebViewRet WebViewRecord() {
    Velo::VeloWebViewRet ret;
    ret.methodNameID = 401;
    ret.retCode = 0;
    ret.retMsg = "success";
    ret.ret = 0;
    ret.msgType = 1;
    ret.msgJsonData = R"({"event":"progress","detail":{"loaded":4096,"total":16384}})";
    ret.embedProgress = 0.25f;
    ret.embedUrl = "https://example.com/news?id=42";
    return ret;
}

Velo::VeloNoticeRet NoticeRecord(int notices) {
    Velo::VeloNoticeRet ret;
    ret.methodNameID = 301;
    ret.retCode = 0;
    ret.retMsg = "success";
    ret.ret = 0;
    for (int n = 0; n < notices; ++n) {
        Velo::VeloNoticeInfo notice;
        notice.notice_id = 1000 + n;
        notice.notice_type = 1;
        notice.notice_group = "event";
        notice.start_time = 1798761600;
        notice.end_time = 1798848000;
        notice.update_time = 1798700000;
        notice.order = n;
        notice.content_type = 2;
        notice.language = "en";
        notice.notice_text_obj = {"Winter Festival \"" + std::to_string(n) + "\"", Paragraph(n),
                                  "https://example.com/events/winter"};
        for (int p = 0; p < 3; ++p) {
            notice.notice_pic_list.push_back(
                {"https://cdn.example.com/notices/" + std::to_string(n) + "/" + std::to_string(p) +
                     ".png",
                 "9f86d081884c7d659a2feaa0c55ad015", "Banner \"" + std::to_string(p) + "\"",
                 "1024x512", p});
        }
        notice.notice_web_url = "https://example.com/notices/" + std::to_string(n);
        notice.extra_data = R"({"priority":2,"tags":["event","winter"]})";
        ret.notice_list.push_back(notice);
    }
    return ret;
}

// Reports the bytes written and the allocations of one more run of `operation`.
template <class Operation>
void Report(benchmark::State& state, std::size_t bytes, Operation&& operation) {
    const std::size_t before = AllocationsSoFar();
    operation();
    const std::size_t allocations = AllocationsSoFar() - before;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["allocations"] = static_cast<double>(allocations);
}

template <class Observer>
Observer& Installed(StandIn::ObserverKind kind) {
    return *static_cast<Observer*>(const_cast<void*>(StandIn::Observers(kind).back()));
}

// One delivery path and its baseline, sharing the record and the expected text.
template <class Deliver>
void DeliveryPair(const std::string& name, Deliver deliver) {
    g_keepText = true;
    deliver();
    g_keepText = false;
    const std::string text = g_lastText;

    auto document = std::make_shared<rapidjson::Document>();
    document->Parse(text.c_str());
    rapidjson::StringBuffer check;
    rapidjson::Writer<rapidjson::StringBuffer> checkWriter(check);
    document->Accept(checkWriter);
    if (text != check.GetString()) {
        std::fprintf(stderr, "baseline of %s does not write the delivered bytes\n", name.c_str());
        std::exit(1);
    }

    benchmark::RegisterBenchmark(("Delivery/" + name).c_str(),
                                 [deliver, text](benchmark::State& state) {
                                     for (auto _ : state) {
                                         deliver();
                                     }
                                     Report(state, text.size(), deliver);
                                 });
    benchmark::RegisterBenchmark(("Baseline/" + name).c_str(),
                                 [document, text](benchmark::State& state) {
                                     rapidjson::StringBuffer buffer;
                                     rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
                                     auto once = [&] {
                                         buffer.Clear();
                                         writer.Reset(buffer);
                                         document->Accept(writer);
                                         benchmark::DoNotOptimize(buffer.GetString());
                                     };
                                     for (auto _ : state) {
                                         once();
                                     }
                                     Report(state, text.size(), once);
                                 });
}

void RegisterDeliveries() {
    const auto login = std::make_shared<Velo::VeloLoginRet>(LoginRecord());
    auto& loginObserver = Installed<Velo::VeloLoginObserver>(StandIn::ObserverKind::Login);
    DeliveryPair("Login", [login, &loginObserver] { loginObserver.OnLoginResult(*login); });
    DeliveryPair("Base", [login, &loginObserver] { loginObserver.OnBaseResult(*login); });
    const auto qr = std::make_shared<Velo::VeloQrCodeRet>(QrCodeRecord());
    DeliveryPair("QrCode", [qr, &loginObserver] { loginObserver.OnQrCodeResult(*qr); });

    const auto account = std::make_shared<Velo::VeloAccountRet>(AccountRecord());
    auto& accountObserver = Installed<Velo::VeloAccountObserver>(StandIn::ObserverKind::Account);
    DeliveryPair("Account",
                 [account, &accountObserver] { accountObserver.OnAccountResult(*account); });

    const auto webView = std::make_shared<Velo::VeloWebViewRet>(WebViewRecord());
    auto& webViewObserver = Installed<Velo::VeloWebViewObserver>(StandIn::ObserverKind::WebView);
    DeliveryPair("WebView",
                 [webView, &webViewObserver] { webViewObserver.OnWebViewResult(*webView); });

    auto& noticeObserver = Installed<Velo::VeloNoticeObserver>(StandIn::ObserverKind::Notice);
    for (const int count : {1, 20, 1000}) {
        const auto notices = std::make_shared<Velo::VeloNoticeRet>(NoticeRecord(count));
        DeliveryPair("Notice" + std::to_string(count),
                     [notices, &noticeObserver] { noticeObserver.OnNoticeResult(*notices); });
    }
}

// A request export with four 32-byte texts against the core operation called directly.
const char kText[4][33] = {"0123456789abcdef0123456789abcdef", "fedcba9876543210fedcba9876543210",
                           "player@example.com/device-7f3a91",
                           "{\"source\":\"game\",\"seq\":12345}"};

void RequestExport(benchmark::State& state) {
    for (auto _ : state) {
        loginAdapter(kText[0], kText[1], kText[2], kText[3]);
    }
    Report(state, 128, [] { loginAdapter(kText[0], kText[1], kText[2], kText[3]); });
}

void RequestDirect(benchmark::State& state) {
    const Velo::String a(kText[0]), b(kText[1]), c(kText[2]), d(kText[3]);
    for (auto _ : state) {
        Velo::VeloLogin::Login(a, b, c, d);
    }
    Report(state, 128, [&] { Velo::VeloLogin::Login(a, b, c, d); });
}

// Results a scripted request is answered with, and as many fired one by one.
constexpr int kScriptedResults = 10000;

// Answers of one kind from the core's thread, per result: a scenario's `kScriptedResults`
// answers to one request, or as many veloStandInFire calls. Each run waits until the last one
// has been delivered.
void ScriptedPair(const std::string& name, const char* kind, const std::string& record) {
    std::string scenario =
        R"({"scenario":1,"rules":[{"operation":"VeloLogin.AutoLogin","answer":[)";
    for (int i = 0; i < kScriptedResults; ++i) {
        scenario +=
            std::string(i > 0 ? "," : "") + R"({"kind":")" + kind + R"(","record":)" + record + "}";
    }
    scenario += "]}]}";
    const auto report = [record](benchmark::State& state) {
        state.SetItemsProcessed(state.iterations() * kScriptedResults);
        state.counters["bytes"] = static_cast<double>(record.size());
    };
    benchmark::RegisterBenchmark(("Scripted/" + name).c_str(), [scenario,
                                                                report](benchmark::State& state) {
        StandIn::SetRecording(true);
        if (!veloStandInPlayScenario(scenario.c_str(), "bench")) {
            state.SkipWithError("the scenario was refused");
        }
        for (auto _ : state) {
            autoLoginAdapter();
            veloStandInWaitForAnswers();
        }
        veloStandInStopScenario();
        StandIn::SetRecording(false);
        report(state);
    })->UseRealTime();
    benchmark::RegisterBenchmark(("Fired/" + name).c_str(), [kind, record,
                                                             report](benchmark::State& state) {
        for (auto _ : state) {
            for (int i = 0; i < kScriptedResults; ++i) {
                veloStandInFire(kind, record.c_str(), true);
            }
            veloStandInWaitForAnswers();
        }
        report(state);
    })->UseRealTime();
}

// The records of the delivery benchmarks, as the adapter writes them.
void RegisterScripted() {
    g_keepText = true;
    const auto delivered = [](auto deliver) {
        deliver();
        return g_lastText;
    };
    auto& login = Installed<Velo::VeloLoginObserver>(StandIn::ObserverKind::Login);
    ScriptedPair("Login", "login", delivered([&] { login.OnLoginResult(LoginRecord()); }));
    auto& notice = Installed<Velo::VeloNoticeObserver>(StandIn::ObserverKind::Notice);
    ScriptedPair("Notice1", "notice", delivered([&] { notice.OnNoticeResult(NoticeRecord(1)); }));
    g_keepText = false;
}

}  // namespace

int main(int argc, char** argv) {
    setUnityCallback(&Receive);
    StandIn::SetRecording(false);  // the core does nothing: what remains is the adapter's cost
    RegisterDeliveries();
    RegisterScripted();
    benchmark::RegisterBenchmark("Request/Login", RequestExport);
    benchmark::RegisterBenchmark("RequestBaseline/Login", RequestDirect);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
