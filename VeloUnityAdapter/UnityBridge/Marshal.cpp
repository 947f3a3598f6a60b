#include "Marshal.h"

#include <cstdlib>
#include <cstring>

#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

char* ReturnedText(const char* text, std::size_t size) {
    if (size == SIZE_MAX) {
        throw std::bad_alloc();
    }
    char* out = static_cast<char*>(std::malloc(size + 1));
    if (out == nullptr) {
        throw std::bad_alloc();
    }
    // strncpy stops at the first zero byte and pads the rest of the `size` bytes with zeros.
    std::strncpy(out, text, size);
    out[size] = '\0';
    return out;
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

extern "C" VELO_ADAPTER_API void releaseTextAdapter(char* text) {
    std::free(text);
}
