// The schedule points' hook, in the tests' build of the adapter only.
#include "SchedulePoint.h"

#include <atomic>

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {
std::atomic<void (*)(int)> g_hook{nullptr};
}  // namespace

void ReachSchedulePoint(VeloSchedulePoint point) {
    if (auto* const hook = g_hook.load()) {
        hook(point);
    }
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

extern "C" VELO_ADAPTER_API void veloSetSchedulePointHook(void (*hook)(int point)) {
    Corvan::Velo::Bridge::g_hook.store(hook);
}
