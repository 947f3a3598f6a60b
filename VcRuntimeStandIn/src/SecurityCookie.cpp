// The stack-protection cookie (/GS) of each binary: the value its functions check their frames
// against, the load configuration directory that shows the loader where it is, and the start-up
// code's own set-up where no loader did it.
#define _CRT_RAND_S
#include <stdlib.h>
#include <windows.h>

namespace {
// The value the compiler's convention starts every cookie with. A loader that finds it where the
// load configuration points (Windows 8 and later, Wine) replaces it with a random one before any
// code of the binary runs.
constexpr unsigned __int64 k_default_cookie = 0x00002B992DDFA232ull;
}  // namespace

extern "C" {
unsigned __int64 __security_cookie = k_default_cookie;

// The load configuration directory, found by this name by the linker, as Visual Studio's runtime
// provides it. Of its members only the cookie's address is set: no control-flow guard, no
// exception handler table (x64 has none), no other loader setting; those after it are zero.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
extern const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = {
    sizeof(IMAGE_LOAD_CONFIG_DIRECTORY64),
    0,  // TimeDateStamp
    0,  // MajorVersion
    0,  // MinorVersion
    0,  // GlobalFlagsClear
    0,  // GlobalFlagsSet
    0,  // CriticalSectionDefaultTimeout
    0,  // DeCommitFreeBlockThreshold
    0,  // DeCommitTotalFreeThreshold
    0,  // LockPrefixTable
    0,  // MaximumAllocationSize
    0,  // VirtualMemoryThreshold
    0,  // ProcessAffinityMask
    0,  // ProcessHeapFlags
    0,  // CSDVersion
    0,  // DependentLoadFlags
    0,  // EditList
    reinterpret_cast<ULONGLONG>(&__security_cookie)};
#pragma clang diagnostic pop

// Keeps a cookie the loader set. Otherwise (an older loader) takes 48 bits from the system's
// random source (rand_s asks it); the highest 16 stay clear, as the convention has them, so that
// a string overrun cannot reproduce the cookie. Should the random source fail, the performance
// counter is what is left.
void __cdecl __security_init_cookie() {
    if (__security_cookie != k_default_cookie) {
        return;
    }
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    unsigned int high = 0;
    unsigned int low = 0;
    rand_s(&high);
    rand_s(&low);
    unsigned __int64 cookie = static_cast<unsigned __int64>(counter.QuadPart) ^
                              (static_cast<unsigned __int64>(high) << 32 | low);
    cookie &= 0x0000FFFFFFFFFFFFull;
    __security_cookie = cookie == k_default_cookie ? cookie + 1 : cookie;
}

void __cdecl __security_check_cookie(unsigned __int64 cookie) {
    if (cookie != __security_cookie) {
        __report_gsfailure(cookie);
    }
}
}
