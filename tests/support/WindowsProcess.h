// Windows only: what the load and start-up tests read of their own process: a DLL loaded for the
// lifetime of one object, counts kept in the process's environment (which outlives any DLL), the
// bytes committed as Windows charges them and the C runtime heap's bytes in use.
#pragma once

#include <windows.h>

#include <malloc.h>

#include <cstddef>
#include <cwchar>

namespace VeloTest {

// An exported function of a loaded module; null when it has none of that name.
template <class Function>
Function* Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function*>(GetProcAddress(module, name));
}

// A DLL, loaded for the lifetime of one object.
class LoadedLibrary {
  public:
    explicit LoadedLibrary(const wchar_t* name) : module_(LoadLibraryW(name)) {}
    ~LoadedLibrary() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool Loaded() const { return module_ != nullptr; }
    HMODULE module() const { return module_; }
    template <class Function>
    Function* Get(const char* name) const {
        return Export<Function>(module_, name);
    }

  private:
    HMODULE module_;
};

inline int EnvironmentCount(const wchar_t* name) {
    wchar_t text[16] = L"0";
    GetEnvironmentVariableW(name, text, 16);
    return static_cast<int>(std::wcstol(text, nullptr, 10));
}

inline void CountInEnvironment(const wchar_t* name) {
    wchar_t next[16];
    std::swprintf(next, 16, L"%d", EnvironmentCount(name) + 1);
    SetEnvironmentVariableW(name, next);
}

// The private bytes committed in the process, region by region: what Windows charges against its
// commit limit whether or not a page was ever written (Wine's PagefileUsage counts only the pages
// that were).
inline std::size_t CommittedBytes() {
    std::size_t committed = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            committed += region.RegionSize;
        }
    }
    return committed;
}

// The bytes of the blocks in use on the C runtime's heap, which every DLL's malloc and new share.
inline std::size_t HeapBytesInUse() {
    const HANDLE heap = reinterpret_cast<HANDLE>(_get_heap_handle());
    std::size_t used = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            used += entry.cbData;
        }
    }
    HeapUnlock(heap);
    return used;
}

}  // namespace VeloTest
