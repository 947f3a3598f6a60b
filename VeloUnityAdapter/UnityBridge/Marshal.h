// Conversions between the C interface and the core's types.
#pragma once

#include <cstddef>
#include <new>
#include <string>

#include "VeloString.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

// A text argument copied into a core String for the duration of one core call. Construct it in
// the call expression: it is freed when the call returns. Throws std::bad_alloc when the copy
// cannot be made, so the core is never called with a half-built argument list.
struct Text : String {
    explicit Text(const char* text) : String(text) {
        if (data == nullptr) {
            throw std::bad_alloc();
        }
    }
};

// A text the caller owns: `size` bytes from malloc plus a terminating zero. Copies `text` up to its
// first zero byte and zero-fills the rest. Throws std::bad_alloc when memory runs out.
char* ReturnedText(const char* text, std::size_t size);

inline char* ReturnedText(const std::string& text) {
    return ReturnedText(text.data(), text.size());
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
