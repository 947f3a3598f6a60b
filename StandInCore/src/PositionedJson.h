// A JSON text parsed into a document that remembers where each of its values begins, so that
// whatever is wrong with a value can be told by line and column.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include <rapidjson/document.h>

namespace Corvan {
namespace Velo {
namespace StandIn {

// A place in a text: line and column, both from 1, the column counted in characters.
struct Place {
    std::size_t line = 1;
    std::size_t column = 1;
};

// A text that is not the JSON asked for, where and why.
struct JsonTextRefused : std::runtime_error {
    JsonTextRefused(Place at, const std::string& reason) : std::runtime_error(reason), place(at) {}
    Place place;
};

class PositionedJson {
  public:
    // Parses `length` bytes of `text`: one JSON value in UTF-8, numbers kept exactly as written.
    // Throws JsonTextRefused for a text that is not JSON, holds a zero byte, an invalid UTF-8
    // sequence or an escaped half of a surrogate pair, or nests deeper than `deepest` levels.
    PositionedJson(const char* text, std::size_t length, unsigned deepest);

    const rapidjson::Document& document() const { return document_; }
    // Where `value`, a value or member name of the document, begins.
    Place PlaceOf(const rapidjson::Value& value) const;

  private:
    Place PlaceAt(std::size_t offset) const;

    const char* text_;
    std::size_t length_;
    std::size_t start_;
    rapidjson::Document document_;
    std::unordered_map<const rapidjson::Value*, std::size_t> offsets_;
};

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
