#include "PositionedJson.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include "StrictJson.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

namespace {

using rapidjson::SizeType;

// Passes the reader's events on to the document, noting where each value and member name
// begins (in the order the document holds them), and stops the reading at the first value that
// nests too deep, a number too large for a double, or a text that holds an escaped half of a
// surrogate pair.
class Positions {
  public:
    // `stream` reads `text`, `length` bytes, from offset `start`.
    Positions(rapidjson::Document& document, const rapidjson::MemoryStream& stream,
              const char* text, std::size_t length, std::size_t start, unsigned deepest)
        : document_(document),
          stream_(stream),
          text_(text),
          length_(length),
          start_(start),
          deepest_(deepest),
          end_(start) {}

    bool Null() { return Begin() && document_.Null(); }
    bool Bool(bool b) { return Begin() && document_.Bool(b); }
    bool Int(int i) { return Begin() && document_.Int(i); }
    bool Uint(unsigned i) { return Begin() && document_.Uint(i); }
    bool Int64(std::int64_t i) { return Begin() && document_.Int64(i); }
    bool Uint64(std::uint64_t i) { return Begin() && document_.Uint64(i); }
    // Where the number's text exceeds a double, the reader's full-precision value is garbage.
    bool Double(double d) {
        return Begin() &&
               (StrictJson::FitsDouble(text_ + offsets_.back(), end_ - offsets_.back()) ||
                Stop("a number too large for a double")) &&
               document_.Double(d);
    }
    bool RawNumber(const char* str, SizeType length, bool copy) {
        return Begin() && document_.RawNumber(str, length, copy);
    }
    bool String(const char* str, SizeType length, bool copy) {
        return Begin() && Whole(str, length) && document_.String(str, length, copy);
    }
    bool Key(const char* str, SizeType length, bool copy) {
        return Begin() && Whole(str, length) && document_.Key(str, length, copy);
    }
    bool StartObject() { return Begin() && Deeper() && document_.StartObject(); }
    bool EndObject(SizeType count) { return End() && document_.EndObject(count); }
    bool StartArray() { return Begin() && Deeper() && document_.StartArray(); }
    bool EndArray(SizeType count) { return End() && document_.EndArray(count); }

    const std::vector<std::size_t>& offsets() const { return offsets_; }
    // Why the reading was stopped, and where; empty when it was not.
    const std::string& stopped() const { return stopped_; }
    std::size_t stoppedAt() const { return offsets_.back(); }

  private:
    // Notes where the value or name that has just been read begins: the first character after
    // the previous one that is no white space, colon or comma.
    bool Begin() {
        std::size_t at = end_;
        while (at < length_ && std::memchr(" \t\r\n:,", text_[at], 6) != nullptr) {
            ++at;
        }
        offsets_.push_back(at);
        end_ = start_ + stream_.Tell();
        return true;
    }
    bool End() {
        --depth_;
        end_ = start_ + stream_.Tell();
        return true;
    }
    bool Deeper() {
        return ++depth_ <= deepest_ ||
               Stop("nested deeper than " + std::to_string(deepest_) + " levels");
    }
    // UTF-8 for code points D800 to DFFF: only an escape ("\udc00") can give them.
    bool Whole(const char* str, SizeType length) {
        for (SizeType i = 0; i + 1 < length; ++i) {
            if (static_cast<unsigned char>(str[i]) == 0xED &&
                static_cast<unsigned char>(str[i + 1]) >= 0xA0) {
                return Stop("an escaped half of a surrogate pair, which is no character");
            }
        }
        return true;
    }
    bool Stop(std::string reason) {
        stopped_ = std::move(reason);
        return false;
    }

    rapidjson::Document& document_;
    const rapidjson::MemoryStream& stream_;
    const char* text_;
    std::size_t length_;
    std::size_t start_;
    unsigned deepest_;
    unsigned depth_ = 0;
    std::size_t end_;
    std::vector<std::size_t> offsets_;
    std::string stopped_;
};

// Gives each value and member name of `value` its offset, in the order they were read.
void Assign(const rapidjson::Value& value, const std::vector<std::size_t>& offsets,
            std::size_t& next, std::unordered_map<const rapidjson::Value*, std::size_t>& out) {
    out[&value] = offsets[next++];
    if (value.IsObject()) {
        for (const auto& member : value.GetObject()) {
            out[&member.name] = offsets[next++];
            Assign(member.value, offsets, next, out);
        }
    } else if (value.IsArray()) {
        for (const rapidjson::Value& element : value.GetArray()) {
            Assign(element, offsets, next, out);
        }
    }
}

}  // namespace

PositionedJson::PositionedJson(const char* text, std::size_t length, unsigned deepest)
    : text_(text),
      length_(length),
      // A byte order mark, as some editors write, is no part of the JSON.
      start_(length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0) {
    if (const void* zero = std::memchr(text, '\0', length)) {
        throw JsonTextRefused(
            PlaceAt(static_cast<std::size_t>(static_cast<const char*>(zero) - text)),
            "a zero byte, which JSON text cannot hold");
    }
    rapidjson::MemoryStream stream(text + start_, length - start_);
    Positions positions(document_, stream, text, length, start_, deepest);
    rapidjson::ParseResult result;
    auto generate = [&](rapidjson::Document&) {
        rapidjson::Reader reader;
        // Recursive parsing, which calls the handler once a token is read, so that the stream
        // stands at its end: the depth is bounded by the handler before the stack is.
        result =
            reader
                .Parse<rapidjson::kParseFullPrecisionFlag | rapidjson::kParseValidateEncodingFlag>(
                    stream, positions);
        return !result.IsError();
    };
    document_.Populate(generate);
    if (!positions.stopped().empty()) {
        throw JsonTextRefused(PlaceAt(positions.stoppedAt()), positions.stopped());
    }
    if (result.IsError()) {
        throw JsonTextRefused(
            PlaceAt(start_ + result.Offset()),
            std::string("not JSON: ") + rapidjson::GetParseError_En(result.Code()));
    }
    std::size_t next = 0;
    Assign(document_, positions.offsets(), next, offsets_);
}

Place PositionedJson::PlaceOf(const rapidjson::Value& value) const {
    const auto found = offsets_.find(&value);
    return PlaceAt(found != offsets_.end() ? found->second : 0);
}

Place PositionedJson::PlaceAt(std::size_t offset) const {
    Place place;
    for (std::size_t i = start_; i < offset && i < length_; ++i) {
        if (text_[i] == '\n') {
            ++place.line;
            place.column = 1;
        } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
            ++place.column;  // the first byte of a character
        }
    }
    return place;
}

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
