// Windows only: what the start-up code that every binary of this build carries does around a
// DLL's own code, as Visual Studio's does: static objects, then the loading thread's thread_local
// ones; destructors of any number of thread_local objects; the stack-protection cookie; array
// sizes no allocation can have. And what it cannot do, so that the shipped DLLs must not need
// it: build thread_local objects on threads that ran before the DLL loaded. The stand-in core's
// own per-thread state works on those threads and leaves nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "VeloStandInC.h"
#include "support/WindowsProcess.h"

namespace VeloTest {
namespace {

constexpr unsigned long long kDefaultCookie = 0x00002B992DDFA232ull;

// Per load: the static object once, built on load and destroyed on unload; a thread_local one
// for the loading thread and for each thread started while the DLL is loaded, destroyed when the
// thread ends or the DLL unloads.
TEST(StartupTest, StaticAndThreadLocalObjectsAreBuiltOnEachLoadAndDestroyedOnUnload) {
    for (int load = 1; load <= 3; ++load) {
        {
            const LoadedLibrary probe(L"VeloStartupProbe.dll");
            ASSERT_TRUE(probe.Loaded());
            EXPECT_EQ(EnvironmentCount(L"PROBE_STATIC_BUILT"), load);
            EXPECT_EQ(EnvironmentCount(L"PROBE_STATIC_DESTROYED"), load - 1);
            const auto threadObject = probe.Get<const void*()>("ProbeThreadObject");
            const void* mine = threadObject();
            const void* theirs = nullptr;
            std::thread([&] { theirs = threadObject(); }).join();
            EXPECT_NE(mine, theirs);
            EXPECT_EQ(EnvironmentCount(L"PROBE_THREAD_BUILT"), 2 * load);
            EXPECT_EQ(EnvironmentCount(L"PROBE_THREAD_DESTROYED"), 2 * load - 1);
        }
        EXPECT_EQ(EnvironmentCount(L"PROBE_STATIC_DESTROYED"), load);
        EXPECT_EQ(EnvironmentCount(L"PROBE_THREAD_DESTROYED"), 2 * load);
    }
}

// A thread_local object's constructor may use the DLL's static objects, on the loading thread as
// on later ones, and may register a function to run at unload.
TEST(StartupTest, TheLoadingThreadsThreadLocalObjectsAreBuiltAfterTheStaticOnes) {
    const int atExitBefore = EnvironmentCount(L"PROBE_TLS_ATEXIT");
    {
        const LoadedLibrary probe(L"VeloStartupProbe.dll");
        ASSERT_TRUE(probe.Loaded());
        const auto seen = probe.Get<int()>("ProbeSeenByThreadLocal");
        EXPECT_EQ(seen(), 0x5A5A);
        int seenLater = 0;
        std::thread([&] { seenLater = seen(); }).join();
        EXPECT_EQ(seenLater, 0x5A5A);
        EXPECT_EQ(EnvironmentCount(L"PROBE_TLS_ATEXIT"), atExitBefore);
    }
    EXPECT_EQ(EnvironmentCount(L"PROBE_TLS_ATEXIT"), atExitBefore + 1);
}

TEST(StartupTest, AThreadDestroysItsThreadLocalObjectsHoweverManyInReverseOrder) {
    const LoadedLibrary probe(L"VeloStartupProbe.dll");
    ASSERT_TRUE(probe.Loaded());
    const auto numberedLog = probe.Get<const int*(int*)>("ProbeNumberedLog");
    int before = 0;
    numberedLog(&before);
    std::thread([&] {
        int size = 0;
        numberedLog(&size);
    }).join();
    int size = 0;
    const int* log = numberedLog(&size);
    // The thread built 40 objects, then destroyed each, the last built first.
    const std::vector<int> thread(log + before, log + size);
    ASSERT_EQ(thread.size(), 80u);
    for (std::size_t i = 0; i < 40; ++i) {
        EXPECT_GT(thread[i], 0);
        EXPECT_EQ(thread[79 - i], -thread[i]) << "destroyed " << 40 - i << "th from last";
    }
}

// The stand-in core's C functions, looked up in the loaded core.
struct CoreFunctions {
    explicit CoreFunctions(HMODULE core)
        : fire(Export<decltype(veloStandInFire)>(core, "veloStandInFire")),
          lastError(Export<decltype(veloStandInLastError)>(core, "veloStandInLastError")),
          setNoticeData(
              Export<decltype(veloStandInSetNoticeData)>(core, "veloStandInSetNoticeData")),
          releaseText(Export<decltype(veloStandInReleaseText)>(core, "veloStandInReleaseText")) {}
    bool Found() const { return fire && lastError && setNoticeData && releaseText; }
    std::string LastError() const {
        char* text = lastError();
        const std::string copy = text != nullptr ? text : "(null)";
        releaseText(text);
        return copy;
    }
    decltype(veloStandInFire)* fire;
    decltype(veloStandInLastError)* lastError;
    decltype(veloStandInSetNoticeData)* setNoticeData;
    decltype(veloStandInReleaseText)* releaseText;
};

// Threads that run before the core loads, call it while it is loaded and end after it unloaded,
// as a game's threads do: each fails a call, reads the reason, succeeds a call, and reads that
// there is no reason any more.
struct EarlierThreadsResult {
    std::vector<std::string> reasons;
    std::vector<std::string> afterSuccess;
};
EarlierThreadsResult CallCoreFromEarlierThreads(int threads) {
    EarlierThreadsResult result{std::vector<std::string>(threads),
                                std::vector<std::string>(threads)};
    std::mutex mutex;
    std::condition_variable changed;
    const CoreFunctions* core = nullptr;
    bool unloaded = false;
    int started = 0;
    int done = 0;
    std::vector<std::thread> running;
    for (int i = 0; i < threads; ++i) {
        running.emplace_back([&, i] {
            std::unique_lock<std::mutex> lock(mutex);
            ++started;
            changed.notify_all();
            changed.wait(lock, [&] { return core != nullptr || unloaded; });
            if (core != nullptr) {
                const CoreFunctions& functions = *core;
                lock.unlock();
                const std::string kind = "nothing-" + std::to_string(i);
                functions.fire(kind.c_str(), "{}", false);
                result.reasons[i] = functions.LastError();
                functions.setNoticeData("");
                result.afterSuccess[i] = functions.LastError();
                lock.lock();
            }
            ++done;
            changed.notify_all();
            changed.wait(lock, [&] { return unloaded; });
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return started == threads; });
    }
    {
        const LoadedLibrary loaded(L"VeloCore.dll");
        const CoreFunctions functions(loaded.module());
        EXPECT_TRUE(functions.Found());
        std::unique_lock<std::mutex> lock(mutex);
        core = functions.Found() ? &functions : nullptr;
        unloaded = core == nullptr;
        changed.notify_all();
        changed.wait(lock, [&] { return done == threads; });
        core = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        unloaded = true;
    }
    changed.notify_all();
    for (std::thread& thread : running) {
        thread.join();
    }
    return result;
}

TEST(StartupTest, TheCoresLastErrorWorksOnThreadsThatRanBeforeItLoadedAndLeavesNothingBehind) {
    ASSERT_EQ(GetModuleHandleW(L"VeloCore.dll"), nullptr);
    constexpr int kThreads = 8;
    std::size_t heapBefore = 0;
    for (int load = 0; load <= 20 && !HasFailure(); ++load) {
        if (load == 1) {  // the process's own caches settle in the first load
            heapBefore = HeapBytesInUse();
        }
        const EarlierThreadsResult result = CallCoreFromEarlierThreads(kThreads);
        for (int i = 0; i < kThreads; ++i) {
            EXPECT_EQ(result.reasons[i], "unknown kind of result 'nothing-" + std::to_string(i) +
                                             "' (login, base, qrcode, account, notice or webview)");
            EXPECT_EQ(result.afterSuccess[i], "");
        }
    }
    const std::size_t heapAfter = HeapBytesInUse();
    EXPECT_LE(heapAfter, heapBefore + 16 * 1024)
        << "heap in use: " << heapBefore << " bytes after the first load, then " << heapAfter;
}

// A module's stack-protection cookie: the value in memory, and the one its file holds where its
// load configuration directory says the cookie is. Not found without that directory.
struct Cookie {
    bool found = false;
    unsigned long long loaded = 0;
    unsigned long long inFile = 0;
};
Cookie ReadCookie(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    if (directory.VirtualAddress == 0 ||
        directory.Size < offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, SecurityCookie) + 8) {
        return {};
    }
    const auto& config =
        *reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY64*>(base + directory.VirtualAddress);
    const ULONGLONG rva = config.SecurityCookie - reinterpret_cast<ULONGLONG>(base);
    if (config.SecurityCookie < reinterpret_cast<ULONGLONG>(base) ||
        rva + 8 > nt->OptionalHeader.SizeOfImage) {
        return {};
    }
    Cookie cookie;
    cookie.loaded = *reinterpret_cast<const unsigned long long*>(base + rva);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
        const IMAGE_SECTION_HEADER& section = sections[i];
        if (rva >= section.VirtualAddress &&
            rva + 8 <= section.VirtualAddress + section.SizeOfRawData) {
            wchar_t path[MAX_PATH];
            GetModuleFileNameW(module, path, MAX_PATH);
            const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER offset{};
            offset.QuadPart = section.PointerToRawData + rva - section.VirtualAddress;
            DWORD read = 0;
            cookie.found = SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) &&
                           ReadFile(file, &cookie.inFile, sizeof cookie.inFile, &read, nullptr) &&
                           read == sizeof cookie.inFile;
            CloseHandle(file);
        }
    }
    return cookie;
}

// The file holds the value that tells a loader (Windows 8 and later, and Wine) to replace it with
// a random one, and in memory it was replaced: 48 bits, the highest 16 clear.
void ExpectRandomCookie(HMODULE module, const wchar_t* name) {
    const Cookie cookie = ReadCookie(module);
    EXPECT_TRUE(cookie.found) << "no load configuration names the cookie of " << name;
    EXPECT_EQ(cookie.inFile, kDefaultCookie) << name;
    EXPECT_NE(cookie.loaded, kDefaultCookie) << name;
    EXPECT_EQ(cookie.loaded >> 48, 0u) << name;
}

TEST(StartupTest, EveryBinaryHasItsCookieMadeRandomByTheLoader) {
    for (const wchar_t* name :
         {L"VeloUnityAdapter.dll", L"VeloCore.dll", L"VeloStartupProbe.dll"}) {
        const LoadedLibrary library(name);
        ASSERT_TRUE(library.Loaded());
        ExpectRandomCookie(library.module(), name);
    }
    ExpectRandomCookie(GetModuleHandleW(nullptr), L"this program");
}

// Where no loader set it, the start-up code takes the cookie from the system's random source: in
// 33 of them every one of the 48 bits takes both values (all but certain for random bits; bits
// taken from clocks, ids and addresses keep their high ones).
TEST(StartupTest, TheFallbackCookieComesFromTheSystemsRandomSource) {
#if !defined(VELO_VC_RUNTIME_STAND_IN)
    GTEST_SKIP() << "Visual Studio's runtime takes its fallback cookie from clocks and ids";
#endif
    const LoadedLibrary probe(L"VeloStartupProbe.dll");
    ASSERT_TRUE(probe.Loaded());
    const auto fallback = probe.Get<unsigned long long()>("ProbeFallbackCookie");
    ASSERT_NE(fallback, nullptr);
    const unsigned long long first = fallback();
    unsigned long long varying = 0;
    for (int i = 0; i < 32; ++i) {
        const unsigned long long cookie = fallback();
        EXPECT_NE(cookie, kDefaultCookie);
        EXPECT_EQ(cookie >> 48, 0u);
        varying |= cookie ^ first;
    }
    EXPECT_EQ(varying, 0x0000FFFFFFFFFFFFull);
}

// The element count times the element size overflows, or the count is negative. (The arrays are
// kept, so that the compiler cannot leave out an allocation it sees freed unused.)
TEST(StartupTest, ANewArrayOfAnImpossibleSizeThrowsBadArrayNewLength) {
    struct Block {
        char bytes[64];
    };
    volatile std::size_t count = SIZE_MAX / 8;
    volatile int negative = -1;
    Block* volatile blocks = nullptr;
    char* volatile bytes = nullptr;
    EXPECT_THROW(blocks = new Block[count], std::bad_array_new_length);
    EXPECT_THROW(bytes = new char[negative], std::bad_array_new_length);
    EXPECT_EQ(blocks = new (std::nothrow) Block[count], nullptr);
    delete[] blocks;
    delete[] bytes;
}

}  // namespace
}  // namespace VeloTest
