// Shared by the fuzz targets: a failed check aborts with a message, which libFuzzer records as a
// crash with its input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

namespace VeloFuzz {

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Texts are bytes: the adapter passes bytes 0x80 to 0xFF through unchecked, while the strict
// parser insists on UTF-8. Such bytes are legal only inside strings, so mapping each to a letter
// keeps the structure and lets the strict parser judge it.
inline std::string AsAscii(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            c = 'a';
        }
    }
    return text;
}

// The value a text member should read back as: the text up to its first zero byte.
inline std::string Member(const std::string& text) {
    return AsAscii(text.substr(0, text.find('\0')));
}

inline nlohmann::json ParseStrict(const char* text) {
    nlohmann::json json = nlohmann::json::parse(AsAscii(text), nullptr, false);
    Require(!json.is_discarded(), "delivered text is valid JSON");
    return json;
}

}  // namespace VeloFuzz
