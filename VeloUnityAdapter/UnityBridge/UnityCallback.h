// The one callback through which results reach the game.
#pragma once

namespace Corvan {
namespace Velo {
namespace Bridge {

// Hands one finished result text to the registered callback, if there is one, on the calling
// thread. The text needs to live only for the duration of the call.
void Dispatch(int methodNameID, const char* json);

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
