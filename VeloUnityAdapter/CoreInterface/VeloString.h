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
        Assign(text, text ? std::strlen(text) : 0);
    }

    // Takes `text.size()` bytes; a zero byte inside the text ends the copy and the rest of the
    // buffer stays zero.
    explicit String(const std::string& text) : data(nullptr), length(0) {
        Assign(text.data(), text.size());
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
    void Assign(const char* text, std::size_t size) {
        if (size >= UINT32_MAX) {
            return;
        }
        char* buffer = static_cast<char*>(std::calloc(size + 1, 1));
        if (buffer == nullptr) {
            return;
        }
        if (size > 0) {
            std::strncpy(buffer, text, size);
        }
        buffer[size] = '\0';
        data = buffer;
        length = static_cast<std::uint32_t>(size);
    }
};

}  // namespace Velo
}  // namespace Corvan
