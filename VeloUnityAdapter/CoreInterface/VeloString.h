// The core library's owned text: a zero-terminated heap buffer and its length in bytes.
//
// A String owns exactly length + 1 bytes from calloc, the last one zero. A null C string and an
// empty one give the same String: length 0, a one-byte buffer holding zero. Text is bytes: nothing
// is converted or validated, and the length counts bytes.
//
// When the buffer cannot be allocated, or the text is too long for a 32-bit length with room for
// its terminator, the String is left empty with a null buffer and nothing is written; a caller that
// needs the text checks `data` after construction.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace Corvan {
namespace Velo {

struct String {
    char* data;
    std::uint32_t length;

    explicit String(const char* text) : data(nullptr), length(0) {
        const std::size_t size = text != nullptr ? std::strlen(text) : 0;
        char* buffer = Allocate(size);
        if (buffer != nullptr && size > 0) {
            std::memcpy(buffer, text, size);
        }
    }

    // Takes `text.size()` bytes; a zero byte inside the text ends the copy and the rest of the
    // buffer stays zero.
    explicit String(const std::string& text) : data(nullptr), length(0) {
        char* buffer = Allocate(text.size());
        if (buffer != nullptr && !text.empty()) {
            const void* zero = std::memchr(text.data(), '\0', text.size());
            std::memcpy(
                buffer, text.data(),
                zero != nullptr ? static_cast<const char*>(zero) - text.data() : text.size());
        }
    }

    ~String() {
        if (data != nullptr) {
            std::free(data);
        }
        data = nullptr;
        length = 0;
    }

    String(const String&) = delete;
    String& operator=(const String&) = delete;

  private:
    // A zero-filled buffer of size + 1 bytes, so that the byte at index `size` terminates it.
    char* Allocate(std::size_t size) {
        if (size >= UINT32_MAX) {
            return nullptr;
        }
        char* buffer = static_cast<char*>(std::calloc(size + 1, 1));
        if (buffer != nullptr) {
            data = buffer;
            length = static_cast<std::uint32_t>(size);
        }
        return buffer;
    }
};

}  // namespace Velo
}  // namespace Corvan
