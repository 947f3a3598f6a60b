// A scripted game session against the stand-in core, through the adapter's C functions only, the
// way a game calls them. The core answers from a thread of its own, as the real one does; the
// demo prints every result the callback receives and fails if an answer never arrives.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>

#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

std::mutex g_mutex;
std::condition_variable g_arrived;
int g_results = 0;

void OnResult(int methodNameID, const char* json) {
    std::printf("  <- result %d: %s\n", methodNameID, json);
    std::fflush(stdout);
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_results;
    g_arrived.notify_all();
}

void PrintOwned(const char* label, char* text) {
    std::printf("  => %s: %s\n", label, text != nullptr ? text : "(null)");
    releaseTextAdapter(text);
}

// Runs one step of the session and waits for the number of answers it should bring.
bool Step(const char* title, int answers, const std::function<void()>& request) {
    std::printf("%s\n", title);
    int target = 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        target = g_results + answers;
    }
    request();
    std::unique_lock<std::mutex> lock(g_mutex);
    if (!g_arrived.wait_for(lock, std::chrono::seconds(5), [&] { return g_results >= target; })) {
        std::fprintf(stderr, "demo: no answer to \"%s\" (%d of %d arrived)\n", title,
                     answers - (target - g_results), answers);
        return false;
    }
    return true;
}

}  // namespace

int main() {
    Corvan::Velo::StandIn::SetAnswering(true);

    const bool ok =
        Step("Register the callback", 0, [] { setUnityCallback(&OnResult); }) &&
        Step("Set language and region", 0,
             [] {
                 setLanguageAdapter("en");
                 setRegionAdapter("EU", "DE", "Europe/Berlin");
             }) &&
        Step("Log in", 1,
             [] { loginAdapter("Guest", "device-7f3a", "", "{\"source\":\"demo\"}"); }) &&
        Step("Read the login snapshot", 0,
             [] { PrintOwned("login snapshot", getLoginRetAdapter()); }) &&
        Step("Request a verification code", 1,
             [] { requestVerifyCodeAdapter("player@example.com", "Mail", 1, 60, "en", "", ""); }) &&
        Step("Load notices", 1,
             [] {
                 PrintOwned("notice request", loadNoticeDataAdapter("game", "EU", 1, "en", ""));
             }) &&
        Step("Open a page", 2,
             [] { openUrlAdapter("https://example.com/news", 1, true, false, "", true); }) &&
        Step("Encode a URL", 0,
             [] {
                 PrintOwned("encoded", getEncodeUrlAdapter("https://example.com/a b?q=\xC3\xA9"));
             }) &&
        Step("Call into the page", 1, [] { callJSAdapter("refresh()"); }) &&
        Step("Close the page", 1, [] { closeAdapter(); }) &&
        Step("Log out", 1, [] { logoutAdapter("Guest", "", false); }) &&
        Step("Read the login snapshot again", 0,
             [] { PrintOwned("login snapshot", getLoginRetAdapter()); }) &&
        Step("Unregister the callback", 0, [] { setUnityCallback(nullptr); });

    Corvan::Velo::StandIn::WaitForAnswers();
    if (!ok) {
        return 1;
    }
    std::printf("Session complete: %d results delivered.\n", g_results);
    return 0;
}
