// For the C# suite's Windows program under Wine 8. Wine's x64 exception dispatch pushes a frame on
// the thread's TEB list around each handler it calls and pops it when the handler returns. The
// .NET runtime's handler never returns: it resumes the thread where the exception is caught,
// without unwinding through the dispatcher. So a frame of the first exception's dispatch stays on
// the list, in stack memory that later calls reuse, and a later exception calls whatever the
// reused memory holds as a handler, faults, and faults again until the stack overflows: the suite
// hangs or dies instead of reporting. A vectored handler, which Wine calls before it walks the
// frames, checks the list and drops it when any frame on it cannot be live. Windows keeps no such
// list on x64, and nothing is registered there.
#include <windows.h>

namespace {

// The end of the list, as Wine starts every thread with it.
const ULONG_PTR kNoFrame = ~ULONG_PTR{0};

// Longer lists than this are not made by any dispatch: a list that long is a loop of reused memory.
constexpr int kMaxFrames = 64;

// Whether an address holds code of a loaded image, as every handler Wine registers does.
bool InImageCode(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) != sizeof region) {
        return false;
    }
    const DWORD executable =
        PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return region.State == MEM_COMMIT && region.Type == MEM_IMAGE &&
           (region.Protect & executable) != 0;
}

// Whether every frame on the list can be live for an exception raised with the stack pointer at
// `rsp`: each lies on this thread's stack above `rsp` (frames below it belong to calls that have
// returned), above the one before it, and names a handler in an image.
bool ListCanBeLive(const NT_TIB* tib, ULONG_PTR rsp) {
    const auto base = reinterpret_cast<ULONG_PTR>(tib->StackBase);
    ULONG_PTR lowest = rsp;
    auto frame = reinterpret_cast<ULONG_PTR>(tib->ExceptionList);
    for (int count = 0; frame != kNoFrame; ++count) {
        if (count == kMaxFrames || frame % alignof(void*) != 0 || frame < lowest ||
            frame + sizeof(EXCEPTION_REGISTRATION_RECORD) > base) {
            return false;
        }
        const auto* record = reinterpret_cast<const EXCEPTION_REGISTRATION_RECORD*>(frame);
        if (!InImageCode(reinterpret_cast<const void*>(record->Handler))) {
            return false;
        }
        lowest = frame + sizeof(EXCEPTION_REGISTRATION_RECORD);
        frame = reinterpret_cast<ULONG_PTR>(record->Next);
    }
    return true;
}

LONG CALLBACK DropStaleFrames(EXCEPTION_POINTERS* exception) {
    auto* tib = reinterpret_cast<NT_TIB*>(NtCurrentTeb());
    if (!ListCanBeLive(tib, exception->ContextRecord->Rsp)) {
        tib->ExceptionList = reinterpret_cast<EXCEPTION_REGISTRATION_RECORD*>(kNoFrame);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

// Registers the handler when the process runs under Wine; returns whether it did.
extern "C" __declspec(dllexport) bool veloTestDropStaleWineFrames() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
        return false;
    }
    return AddVectoredExceptionHandler(1, &DropStaleFrames) != nullptr;
}
