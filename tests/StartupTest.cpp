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
// for the loading thread, built after the static objects (it reads one), and for each thread
// started while the DLL is loaded, destroyed when the thread ends or the DLL unloads. The loading
// thread's registers a function that runs at unload.
TEST(StartupTest, EachLoadBuildsStaticThenThreadLocalObjectsAndUnloadDestroysThem) {
    for (int load = 1; load <= 3; ++load) {
        {
            const LoadedLibrary probe(L"VeloStartupProbe.dll");
            ASSERT_TRUE(probe.Loaded());
            EXPECT_EQ(EnvironmentCount(L"PROBE_STATIC_BUILT"), load);
            EXPECT_EQ(EnvironmentCount(L"PROBE_STATIC_DESTROYED"), load - 1);
            const auto threadObject = probe.Get<const int*()>("ProbeThreadObject");
            const int* mine = threadObject();
            const int* theirs = nullptr;
            int theirsSaw = 0;
            std::thread([&] { theirsSaw = *(theirs = threadObject()); }).join();
            EXPECT_NE(mine, theirs);
            EXPECT_EQ(*mine, 0x5A5A);
            EXPECT_EQ(theirsSaw, 0x5A5A);
            EXPECT_EQ(EnvironmentCount(L"PROBE_THREAD_BUILT"), 2 * load);
            EXPECT_EQ(EnvironmentCount(L"PROBE_THREAD_DESTROYED"), 2 * load - 1);
            EXPECT_EQ(EnvironmentCount(L"PROBE_TLS_ATEXIT"), load - 1);
        }
        EXPECT_EQ(EnvironmentCount(L"PROBE_STATIC_DESTROYED"), load);
        EXPECT_EQ(EnvironmentCount(L"PROBE_THREAD_DESTROYED"), 2 * load);
        EXPECT_EQ(EnvironmentCount(L"PROBE_TLS_ATEXIT"), load);
    }
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

// The core's last error, as the calling thread reads it.
std::string LastError(HMODULE core) {
    char* text = Export<decltype(veloStandInLastError)>(core, "veloStandInLastError")();
    const std::string copy = text;
    Export<decltype(veloStandInReleaseText)>(core, "veloStandInReleaseText")(text);
    return copy;
}

// Threads that run before the core loads, call it while it is loaded and end after it unloaded,
// as a game's threads do: each fails a call and reads the reason, then succeeds in one and reads
// that there is none. What they read, two texts a thread.
std::vector<std::string> CallCoreFromEarlierThreads(int threads) {
    std::vector<std::string> read(2 * threads);
    std::mutex mutex;
    std::condition_variable changed;
    HMODULE core = nullptr;
    int started = 0, done = 0;
    bool unloaded = false;
    const auto await = [&](std::unique_lock<std::mutex>& lock, auto condition) {
        changed.notify_all();
        changed.wait(lock, condition);
    };
    std::vector<std::thread> running;
    for (int i = 0; i < threads; ++i) {
        running.emplace_back([&, i] {
            std::unique_lock<std::mutex> lock(mutex);
            ++started;
            await(lock, [&] { return core != nullptr || unloaded; });
            if (core != nullptr) {
                const std::string kind = "nothing-" + std::to_string(i);
                Export<decltype(veloStandInFire)>(core, "veloStandInFire")(kind.c_str(), "{}",
                                                                           false);
                read[2 * i] = LastError(core);
                Export<decltype(veloStandInSetNoticeData)>(core, "veloStandInSetNoticeData")("");
                read[2 * i + 1] = LastError(core);
            }
            ++done;
            await(lock, [&] { return unloaded; });
        });
    }
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return started == threads; });
    {
        const LoadedLibrary loaded(L"VeloCore.dll");
        EXPECT_TRUE(loaded.Loaded());
        core = loaded.module();
        unloaded = core == nullptr;
        await(lock, [&] { return done == threads; });
        core = nullptr;
    }
    unloaded = true;
    changed.notify_all();
    lock.unlock();
    for (std::thread& thread : running) {
        thread.join();
    }
    return read;
}

TEST(StartupTest, TheCoresLastErrorWorksOnThreadsThatRanBeforeItLoadedAndLeavesNothingBehind) {
    ASSERT_EQ(GetModuleHandleW(L"VeloCore.dll"), nullptr);
    constexpr int kThreads = 8;
    std::size_t heapBefore = 0;
    for (int load = 0; load <= 20 && !HasFailure(); ++load) {
        if (load == 1) {  // the process's own caches settle in the first load
            heapBefore = HeapBytesInUse();
        }
        const std::vector<std::string> read = CallCoreFromEarlierThreads(kThreads);
        for (int i = 0; i < kThreads; ++i) {
            EXPECT_EQ(read[2 * i], "unknown kind of result 'nothing-" + std::to_string(i) +
                                       "' (login, base, qrcode, account, notice or webview)");
            EXPECT_EQ(read[2 * i + 1], "");
        }
    }
    const std::size_t heapAfter = HeapBytesInUse();
    EXPECT_LE(heapAfter, heapBefore + 16 * 1024)
        << "heap in use: " << heapBefore << " bytes after the first load, then " << heapAfter;
}

// A module's stack-protection cookie, where its load configuration directory says it is. Its
// file holds the value that tells a loader (Windows 8 and later, and Wine) to replace it with a
// random one, and in memory it was replaced: 48 bits, the highest 16 clear.
void ExpectRandomCookie(HMODULE module, const wchar_t* name) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    ASSERT_GE(directory.Size, offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, SecurityCookie) + 8)
        << "no load configuration names the cookie of " << name;
    const ULONGLONG rva =
        reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY64*>(base + directory.VirtualAddress)
            ->SecurityCookie -
        reinterpret_cast<ULONGLONG>(base);
    ASSERT_LE(rva + 8, nt->OptionalHeader.SizeOfImage) << name;
    const unsigned long long loaded = *reinterpret_cast<const unsigned long long*>(base + rva);
    EXPECT_NE(loaded, kDefaultCookie) << name;
    EXPECT_EQ(loaded >> 48, 0u) << name;
    // Where the section that holds it lies in the file.
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    while (rva >= section->VirtualAddress + section->SizeOfRawData) {
        ++section;
    }
    LARGE_INTEGER offset{};
    offset.QuadPart = section->PointerToRawData + rva - section->VirtualAddress;
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(module, path, MAX_PATH);
    const HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    unsigned long long inFile = 0;
    DWORD read = 0;
    EXPECT_TRUE(SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) &&
                ReadFile(file, &inFile, sizeof inFile, &read, nullptr));
    CloseHandle(file);
    EXPECT_EQ(inFile, kDefaultCookie) << name;
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
