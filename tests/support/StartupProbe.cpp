// A DLL for the start-up tests (Windows), built with the start-up code every binary of this build
// carries, and holding what the build refuses in the DLLs it ships: thread_local objects built at
// run time and destroyed. Its static object and its per-thread one count in the process's
// environment, which outlives the DLL, how often they are built and destroyed.
#include <windows.h>

#include <stdlib.h>

#include <utility>

#include "support/WindowsProcess.h"

namespace {

using VeloTest::CountInEnvironment;

struct Counted {
    const wchar_t* destroyed;
    Counted(const wchar_t* built, const wchar_t* destroyedName) : destroyed(destroyedName) {
        CountInEnvironment(built);
    }
    ~Counted() { CountInEnvironment(destroyed); }
};

Counted g_static(L"PROBE_STATIC_BUILT", L"PROBE_STATIC_DESTROYED");

// A static object built by a constructor that runs at load (reading a volatile keeps the compiler
// from building it at compile time).
volatile int g_markSource = 0x5A5A;
struct Marked {
    int mark = g_markSource;
};
Marked g_marked;

bool g_atexitRegistered = false;
void CountAtExit() {
    CountInEnvironment(L"PROBE_TLS_ATEXIT");
}

// Each thread's object: counted, and reading the static one when built. The first, the loading
// thread's, also registers a function to run when the DLL unloads.
struct PerThread : Counted {
    int seen = g_marked.mark;
    PerThread() : Counted(L"PROBE_THREAD_BUILT", L"PROBE_THREAD_DESTROYED") {
        if (!g_atexitRegistered) {
            g_atexitRegistered = true;
            atexit(&CountAtExit);
        }
    }
};
thread_local PerThread t_perThread;

// More thread_local objects with destructors than the first block of them a thread has (32).
// Each logs its number when built (+n) and destroyed (-n); the threads that log do so one at a
// time (the loading thread, then each thread the test starts and joins).
constexpr int kNumbered = 40;
int g_log[8 * kNumbered];
int g_logSize = 0;
void Log(int entry) {
    if (g_logSize < static_cast<int>(sizeof g_log / sizeof g_log[0])) {
        g_log[g_logSize++] = entry;
    }
}
struct Numbered {
    int number;
    explicit Numbered(int n) : number(n) { Log(number); }
    ~Numbered() { Log(-number); }
};
template <int N>
thread_local Numbered t_numbered{N + 1};
template <int... N>
void TouchNumbered(std::integer_sequence<int, N...>) {
    (static_cast<void>(t_numbered<N>.number), ...);
}

}  // namespace

// Uses the calling thread's object, as code in a DLL does: what it read of the static object.
extern "C" __declspec(dllexport) const int* ProbeThreadObject() {
    return &t_perThread.seen;
}

// Uses the calling thread's numbered objects; the log of every one built and destroyed so far.
extern "C" __declspec(dllexport) const int* ProbeNumberedLog(int* size) {
    TouchNumbered(std::make_integer_sequence<int, kNumbered>());
    *size = g_logSize;
    return g_log;
}

extern "C" unsigned __int64 __security_cookie;
extern "C" void __cdecl __security_init_cookie(void);

// The cookie the start-up code sets where no loader set it: puts back the value a loader replaces,
// sets it again, returns it and restores the one the DLL had. No function of this DLL that checks
// the cookie is running meanwhile (this one keeps none).
extern "C" __declspec(dllexport) unsigned __int64 ProbeFallbackCookie() {
    const unsigned __int64 loaded = __security_cookie;
    __security_cookie = 0x00002B992DDFA232ull;
    __security_init_cookie();
    const unsigned __int64 fallback = __security_cookie;
    __security_cookie = loaded;
    return fallback;
}
