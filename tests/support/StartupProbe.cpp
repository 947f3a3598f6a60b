// A DLL for the load and unload tests (Windows): its static object, and the thread_local one
// each thread gets, count in the process's environment how often they are built and destroyed,
// which outlives the DLL.
#include <windows.h>

#include <cwchar>

namespace {

void Count(const wchar_t* name) {
    wchar_t text[16] = L"0";
    GetEnvironmentVariableW(name, text, 16);
    wchar_t next[16];
    std::swprintf(next, 16, L"%ld", std::wcstol(text, nullptr, 10) + 1);
    SetEnvironmentVariableW(name, next);
}

struct Counted {
    const wchar_t* destroyed;
    Counted(const wchar_t* built, const wchar_t* destroyedName) : destroyed(destroyedName) {
        Count(built);
    }
    ~Counted() { Count(destroyed); }
};

Counted g_static(L"PROBE_STATIC_BUILT", L"PROBE_STATIC_DESTROYED");
thread_local Counted t_perThread(L"PROBE_THREAD_BUILT", L"PROBE_THREAD_DESTROYED");

}  // namespace

// Uses the calling thread's object, as code in a DLL does.
extern "C" __declspec(dllexport) const void* ProbeThreadObject() {
    return &t_perThread;
}
