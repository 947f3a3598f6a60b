// Keeps exceptions inside the library: nothing thrown by the core, the allocator or a callback
// may unwind into the game's runtime through a C function.
#pragma once

#include <utility>

namespace Corvan {
namespace Velo {
namespace Bridge {

template <class Body>
void Guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

template <class Result, class Body>
Result Guarded(Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
