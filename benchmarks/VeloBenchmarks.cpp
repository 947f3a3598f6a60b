// What a delivery and a request cost, each beside its limit: the same bytes written once by a
// single-pass writer into a buffer it reuses, or the core called directly with Strings built
// beforehand. And what a scripted answer costs, played from a scenario through the adapter,
// beside the same result fired through veloStandInFire from the core's thread. Each path and its
// baseline are timed in alternating batches within one benchmark, and their ratio is the median
// of the per-pair ratios.
//
// The single-pass writer replays the delivered text: its events (keys, strings, numbers, the
// bounds of objects and arrays) are recorded once at set-up, then written on every pair by
// RapidJSON's Writer as the adapter instantiates it, into one buffer; it writes exactly the
// adapter's bytes (checked at set-up). It is the adapter's writer and nothing else: no writer made
// per delivery, no nested texts, no checks, no callback.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/reader.h>

#include "CountingHeap.h"
#include "JsonResultWriter.h"
#include "VeloStandIn.h"
#include "VeloStandInC.h"
#include "VeloStandInScenarioC.h"
#include "VeloUnityAdapter.h"

namespace {

namespace Velo = Corvan::Velo;
namespace Bridge = Corvan::Velo::Bridge;
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

// The calling thread's heap allocations in one more run of `operation`.
template <class Operation>
double AllocationsOf(Operation&& operation) {
    const std::size_t before = AllocationsSoFar();
    operation();
    return static_cast<double>(AllocationsSoFar() - before);
}

// Seconds taken by `calls` runs of `operation`.
template <class Operation>
double Timed(Operation& operation, int calls) {
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        operation();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// Seconds a warm call of `operation` takes: batches of doubling size until one lasts 10 µs; the
// least of three such estimates, which an interruption can only lengthen.
template <class Operation>
double CallTime(Operation& operation) {
    double least = 1;
    for (int estimate = 0; estimate < 3; ++estimate) {
        for (int calls = 1;; calls *= 2) {
            const double time = Timed(operation, calls);
            if (time >= 10e-6 || calls >= 1024) {
                least = std::min(least, time / calls);
                break;
            }
        }
    }
    return least;
}

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0;
    }
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(q * (values.size() - 1) + 0.5);
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// Times a path and its baseline in alternating batches of the same input, one pair an iteration:
// a change of clock speed or of the machine's load between two pairs leaves each pair's ratio as
// it is. The order within a pair alternates too, so that neither side always runs on a cache the
// other warmed. Reports the median per-call time of both, and the median of the per-pair ratios
// with its quartiles.
template <class Path, class Baseline>
void Paired(benchmark::State& state, std::size_t bytes, Path path, Baseline baseline) {
    // Both sides warm (caches, branch history, the writer's buffer grown) before either is sized:
    // 2 ms of alternating calls, at least two of each.
    const auto warmUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(2);
    for (int i = 0; i < 2 || std::chrono::steady_clock::now() < warmUntil; ++i) {
        path();
        baseline();
    }
    // A batch lasts about 10 µs of the slower side, short enough that a pair rarely straddles a
    // change of the machine's state, and at least 1 µs of the faster one, so that reading the
    // clock (some 20 ns) stays within 2 % of it.
    const double pathCall = CallTime(path);
    const double baselineCall = CallTime(baseline);
    const double slower = std::max(pathCall, baselineCall);
    const double faster = std::max(std::min(pathCall, baselineCall), 1e-9);
    const int batch =
        std::max({1, static_cast<int>(10e-6 / slower), static_cast<int>(std::ceil(1e-6 / faster))});
    std::vector<double> pathTimes, baselineTimes, ratios;
    bool pathFirst = true;
    for (auto _ : state) {
        double pathTime = 0, baselineTime = 0;
        if (pathFirst) {
            pathTime = Timed(path, batch);
            baselineTime = Timed(baseline, batch);
        } else {
            baselineTime = Timed(baseline, batch);
            pathTime = Timed(path, batch);
        }
        pathFirst = !pathFirst;
        state.SetIterationTime(pathTime + baselineTime);
        pathTimes.push_back(pathTime / batch * 1e9);
        baselineTimes.push_back(baselineTime / batch * 1e9);
        ratios.push_back(pathTime / baselineTime);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["pairs"] = static_cast<double>(ratios.size());
    state.counters["batch"] = batch;
    state.counters["time_ns"] = Quantile(pathTimes, 0.5);
    state.counters["baseline_ns"] = Quantile(baselineTimes, 0.5);
    state.counters["ratio"] = Quantile(ratios, 0.5);
    state.counters["ratio_q1"] = Quantile(ratios, 0.25);
    state.counters["ratio_q3"] = Quantile(ratios, 0.75);
    state.counters["allocations"] = AllocationsOf(path);
    state.counters["baseline_allocations"] = AllocationsOf(baseline);
}

// The single-pass writer of one text (see the top of this file).
class SinglePassWriter : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, SinglePassWriter> {
  public:
    // Records the events of `text`; exits when replaying them does not give `text` back.
    explicit SinglePassWriter(const std::string& text) : text_(text.begin(), text.end()) {
        text_.push_back('\0');
        rapidjson::Reader reader;
        rapidjson::InsituStringStream stream(text_.data());  // strings stay where they are
        if (reader.Parse<rapidjson::kParseInsituFlag>(stream, *this).IsError() || text != Write()) {
            std::fprintf(stderr, "the single-pass writer does not write the delivered bytes\n");
            std::exit(1);
        }
    }
    SinglePassWriter(const SinglePassWriter&) = delete;
    SinglePassWriter& operator=(const SinglePassWriter&) = delete;

    const char* Write() {
        buffer_.Clear();
        writer_.Reset(buffer_);
        for (const Event& event : events_) {
            switch (event.kind) {
                case Kind::Null:
                    writer_.Null();
                    break;
                case Kind::Bool:
                    writer_.Bool(event.number != 0);
                    break;
                case Kind::Int:
                    writer_.Int64(event.number);
                    break;
                case Kind::Uint:
                    writer_.Uint64(static_cast<std::uint64_t>(event.number));
                    break;
                case Kind::Double:
                    writer_.Double(event.real);
                    break;
                case Kind::String:
                    writer_.String(event.text, event.length);
                    break;
                case Kind::Key:
                    writer_.Key(event.text, event.length);
                    break;
                case Kind::StartObject:
                    writer_.StartObject();
                    break;
                case Kind::EndObject:
                    writer_.EndObject();
                    break;
                case Kind::StartArray:
                    writer_.StartArray();
                    break;
                case Kind::EndArray:
                    writer_.EndArray();
                    break;
            }
        }
        return buffer_.GetString();
    }

    // The reader's events, recorded.
    bool Null() { return Add({Kind::Null}); }
    bool Bool(bool value) { return Add({Kind::Bool, nullptr, 0, value ? 1 : 0}); }
    bool Int(int value) { return Add({Kind::Int, nullptr, 0, value}); }
    bool Int64(std::int64_t value) { return Add({Kind::Int, nullptr, 0, value}); }
    bool Uint(unsigned value) { return Add({Kind::Int, nullptr, 0, value}); }
    bool Uint64(std::uint64_t value) {
        return Add({Kind::Uint, nullptr, 0, static_cast<std::int64_t>(value)});
    }
    bool Double(double value) { return Add({Kind::Double, nullptr, 0, 0, value}); }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        return Add({Kind::String, text, length});
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        return Add({Kind::Key, text, length});
    }
    bool StartObject() { return Add({Kind::StartObject}); }
    bool EndObject(rapidjson::SizeType) { return Add({Kind::EndObject}); }
    bool StartArray() { return Add({Kind::StartArray}); }
    bool EndArray(rapidjson::SizeType) { return Add({Kind::EndArray}); }

  private:
    enum class Kind {
        Null,
        Bool,
        Int,
        Uint,
        Double,
        String,
        Key,
        StartObject,
        EndObject,
        StartArray,
        EndArray
    };
    struct Event {
        Kind kind;
        const char* text = nullptr;
        rapidjson::SizeType length = 0;
        std::int64_t number = 0;
        double real = 0;
    };
    bool Add(const Event& event) {
        events_.push_back(event);
        return true;
    }

    std::vector<char> text_;  // parsed in place: the recorded strings point into it
    std::vector<Event> events_;
    Bridge::WriterAllocator allocator_;
    Bridge::JsonBuffer buffer_{&allocator_};
    Bridge::JsonWriter writer_{buffer_, &allocator_};
};

void Register(const std::string& name, std::function<void(benchmark::State&)> run) {
    benchmark::RegisterBenchmark(name.c_str(), std::move(run))->UseManualTime();
}

template <class Observer>
Observer& Installed(StandIn::ObserverKind kind) {
    return *static_cast<Observer*>(const_cast<void*>(StandIn::Observers(kind).back()));
}

// A delivery path beside the single-pass writer of the text it delivers.
template <class Deliver>
void DeliveryPair(const std::string& name, Deliver deliver) {
    g_keepText = true;
    deliver();
    g_keepText = false;
    const std::string text = g_lastText;
    const auto singlePass = std::make_shared<SinglePassWriter>(text);
    Register("Delivery/" + name, [deliver, singlePass, text](benchmark::State& state) {
        auto baseline = [&] { benchmark::DoNotOptimize(singlePass->Write()); };
        Paired(state, text.size(), deliver, baseline);
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

void RequestPair(benchmark::State& state) {
    const Velo::String a(kText[0]), b(kText[1]), c(kText[2]), d(kText[3]);
    Paired(
        state, 128, [] { loginAdapter(kText[0], kText[1], kText[2], kText[3]); },
        [&] { Velo::VeloLogin::Login(a, b, c, d); });
}

// Results a scripted request is answered with, and as many fired one by one: a call lasts some 1
// to 20 ms, short enough for many pairs in a benchmark's time.
constexpr int kScriptedResults = 1000;

// Answers of one kind from the core's thread: a scenario's `kScriptedResults` answers to one
// request, beside as many veloStandInFire calls. Each side waits until its last result has been
// delivered; the counter "results" says how many results one call of either side delivers.
void ScriptedPair(const std::string& name, const char* kind, const std::string& record) {
    std::string scenario =
        R"({"scenario":1,"rules":[{"operation":"VeloLogin.AutoLogin","answer":[)";
    for (int i = 0; i < kScriptedResults; ++i) {
        scenario +=
            std::string(i > 0 ? "," : "") + R"({"kind":")" + kind + R"(","record":)" + record + "}";
    }
    scenario += "]}]}";
    Register("Scripted/" + name, [scenario, kind, record](benchmark::State& state) {
        StandIn::SetRecording(true);  // so that the core answers the request
        if (!veloStandInPlayScenario(scenario.c_str(), "bench")) {
            state.SkipWithError("the scenario was refused");
            StandIn::SetRecording(false);
            return;
        }
        const auto scripted = [] {
            autoLoginAdapter();
            veloStandInWaitForAnswers();
        };
        const auto fired = [kind, &record] {
            for (int i = 0; i < kScriptedResults; ++i) {
                veloStandInFire(kind, record.c_str(), true);
            }
            veloStandInWaitForAnswers();
        };
        Paired(state, record.size(), scripted, fired);
        veloStandInStopScenario();
        StandIn::SetRecording(false);
        state.counters["results"] = kScriptedResults;
    });
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
    Register("Request/Login", RequestPair);
    // Last: run before it, they left the request export some 70 ns a call slower.
    RegisterScripted();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
