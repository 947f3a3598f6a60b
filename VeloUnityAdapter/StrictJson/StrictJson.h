// What a strict JSON reader refuses that RapidJSON's reader lets through: a number too large for a
// double (RapidJSON 1.1.0 checks a positive exponent only against 308 less the fraction digits,
// and parses 6068882444418e306 into an infinity) and a \u escape of a low surrogate with no high
// one before it. A JSON text that passes both checks here is read by every strict reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Corvan {
namespace Velo {
namespace StrictJson {

namespace Detail {

// 2^1024 - 2^970, the least magnitude that rounds to infinity as a double (halfway between the
// largest double and 2^1024, where ties round to the even 2^1024): these 309 digits, times 10^0.
constexpr char kOverflowDigits[] =
    "17976931348623158079372897140530341507993413271003782693617377898044496829276475094664901797"
    "75872070963302864166928879109465555478519404026306574886715058206819089020007083836762738548"
    "45817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711"
    "559699508093042880177904174497792";
constexpr std::int64_t kOverflowOrder = sizeof kOverflowDigits - 1;

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline unsigned Hex4(const char* p) {
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        const unsigned digit = IsDigit(c) ? static_cast<unsigned>(c - '0')
                                          : static_cast<unsigned>((c | 0x20) - 'a' + 10);
        value = value << 4 | digit;
    }
    return value;
}

}  // namespace Detail

// Whether a number written as JSON allows (-?int(.frac)?([eE][+-]?digits)?) is finite as a double,
// decided exactly, as a correctly rounding reader decides it. Numbers below the smallest double
// read as zero and fit.
inline bool FitsDouble(const char* number, std::size_t length) {
    using Detail::IsDigit;
    const char* p = number;
    const char* const end = number + length;
    if (p != end && *p == '-') {
        ++p;
    }
    const char* const integer = p;
    while (p != end && IsDigit(*p)) {
        ++p;
    }
    const char* const integerEnd = p;
    const char* fraction = p;
    const char* fractionEnd = p;
    if (p != end && *p == '.') {
        fraction = ++p;
        while (p != end && IsDigit(*p)) {
            ++p;
        }
        fractionEnd = p;
    }
    // The exponent saturates far beyond any number of digits a text can hold.
    constexpr std::int64_t kExponentLimit = std::int64_t{1} << 40;
    std::int64_t exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p != end && *p == '-';
        if (p != end && (*p == '-' || *p == '+')) {
            ++p;
        }
        for (; p != end && IsDigit(*p); ++p) {
            exponent = exponent < kExponentLimit ? exponent * 10 + (*p - '0') : exponent;
        }
        exponent = negative ? -exponent : exponent;
    }

    // The value is 0.d1d2d3... times 10^order, d1 being its first digit other than zero.
    const char* first = integer;
    while (first != integerEnd && *first == '0') {
        ++first;
    }
    std::int64_t order = integerEnd - first;
    if (first == integerEnd) {
        first = fraction;
        while (first != fractionEnd && *first == '0') {
            ++first;
        }
        if (first == fractionEnd) {
            return true;  // zero
        }
        order = -(first - fraction);
    }
    order += exponent;
    if (order != Detail::kOverflowOrder) {
        return order < Detail::kOverflowOrder;
    }
    // The same order of magnitude: compare the digits, the number's running on from its integer
    // part into its fraction.
    const char* digit = first;
    for (const char* limit = Detail::kOverflowDigits; *limit != '\0'; ++limit, ++digit) {
        if (digit == integerEnd) {
            digit = fraction;
        }
        if (digit == fractionEnd) {
            return true;  // the number's digits ended first, and the limit's last digit is not 0
        }
        if (*digit != *limit) {
            return *digit < *limit;
        }
    }
    return false;  // the limit itself, or above it
}

// The first \u escape of a lone surrogate in a text that is well-formed JSON: a low surrogate
// with no high one just before it, or a high one with no low one just after it. Null when there
// is none.
inline const char* FindLoneSurrogate(const char* text, std::size_t size) {
    const char* const end = text + size;
    const auto nextEscape = [end](const char* from) {
        return static_cast<const char*>(
            std::memchr(from, '\\', static_cast<std::size_t>(end - from)));
    };
    for (const char* p = nextEscape(text); p != nullptr; p = nextEscape(p)) {
        if (p[1] != 'u') {
            p += 2;  // any other escape, \\ included
            continue;
        }
        const unsigned unit = Detail::Hex4(p + 2);
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return p;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const bool paired = end - p >= 12 && p[6] == '\\' && p[7] == 'u' &&
                                Detail::Hex4(p + 8) >= 0xDC00 && Detail::Hex4(p + 8) <= 0xDFFF;
            if (!paired) {
                return p;
            }
            p += 6;
        }
        p += 6;
    }
    return nullptr;
}

}  // namespace StrictJson
}  // namespace Velo
}  // namespace Corvan
