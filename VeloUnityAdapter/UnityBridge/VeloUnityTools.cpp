// Tools facade: language and region go to the core as the very pointers the caller passed.
#include "BoundaryGuard.h"
#include "VeloCore.h"
#include "VeloUnityAdapter.h"

using Corvan::Velo::VeloTools;
using Corvan::Velo::Bridge::Guarded;

extern "C" {

VELO_ADAPTER_API void setLanguageAdapter(const char* language) {
    Guarded([&] { VeloTools::SetLanguage(language); });
}

VELO_ADAPTER_API void setRegionAdapter(const char* a, const char* b, const char* c) {
    Guarded([&] { VeloTools::SetRegion(a, b, c); });
}

}  // extern "C"
