// Shared by the sources of the stand-in's C control interface.
#pragma once

#include <functional>

namespace Corvan {
namespace Velo {
namespace StandIn {

// Runs `body` at the C boundary: false, with the reason kept for veloStandInLastError, when it
// throws; nothing escapes.
bool CheckedCall(const std::function<void()>& body) noexcept;

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
