// Points in the delivery path where the tests' build of the adapter lets a test hold the thread
// that reaches them, so that a race's window opens in every run instead of by chance. Only that
// build (VELO_SCHEDULE_POINTS, set by tests/CMakeLists.txt) has them; everywhere else, the
// releases included, VELO_SCHEDULE_POINT is nothing and no binary names a point
// (tools/check-unity-package.py checks the shipped libraries and their symbols).
#pragma once

#if defined(VELO_SCHEDULE_POINTS)
#include "VeloUnityAdapter.h"

#ifdef __cplusplus
extern "C" {
#endif

enum VeloSchedulePoint {
    // A delivery has read the current phase and has not yet counted itself in it.
    kVeloSchedulePointDeliveryReadPhase = 1,
};

// Calls `hook` with the point's number on every thread that reaches a point; null removes it.
VELO_ADAPTER_API void veloSetSchedulePointHook(void (*hook)(int point));

#ifdef __cplusplus
}

namespace Corvan {
namespace Velo {
namespace Bridge {
void ReachSchedulePoint(VeloSchedulePoint point);
}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
#endif

#define VELO_SCHEDULE_POINT(point) ::Corvan::Velo::Bridge::ReachSchedulePoint(point)
#else
#define VELO_SCHEDULE_POINT(point) static_cast<void>(0)
#endif
