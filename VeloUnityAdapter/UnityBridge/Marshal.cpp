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
    // The copy stops at the first zero byte; zeros fill the rest of the `size` bytes.
    const void* zero = std::memchr(text, '\0', size);
    const std::size_t copied = zero != nullptr ? static_cast<const char*>(zero) - text : size;
    std::memcpy(out, text, copied);
    std::memset(out + copied, 0, size + 1 - copied);
    return out;
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

extern "C" VELO_ADAPTER_API void releaseTextAdapter(char* text) {
    std::free(text);
}
