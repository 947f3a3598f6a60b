// Writes one compact JSON object (or array) with RapidJSON: no white space, strings escaped the
// way RapidJSON's writer escapes them by default, every other byte passed through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <rapidjson/rapidjson.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Corvan {
namespace Velo {
namespace Bridge {

// RapidJSON's C runtime allocator, except that running out of memory throws std::bad_alloc
// instead of handing RapidJSON a null pointer to write through.
class ThrowingAllocator {
  public:
    static const bool kNeedFree = true;
    void* Malloc(std::size_t size);
    void* Realloc(void* original, std::size_t originalSize, std::size_t newSize);
    static void Free(void* pointer);
};

class JsonResultWriter {
  public:
    using Buffer = rapidjson::GenericStringBuffer<rapidjson::UTF8<>, ThrowingAllocator>;
    using Writer =
        rapidjson::Writer<Buffer, rapidjson::UTF8<>, rapidjson::UTF8<>, ThrowingAllocator>;

    // Begins an object, or an array for rapidjson::kArrayType.
    explicit JsonResultWriter(rapidjson::Type kind = rapidjson::kObjectType);
    JsonResultWriter(const JsonResultWriter&) = delete;
    JsonResultWriter& operator=(const JsonResultWriter&) = delete;

    // A text member, written up to the value's first zero byte. A null or empty key writes no key
    // (array elements).
    JsonResultWriter& AddString(const char* key, const std::string& value);
    JsonResultWriter& AddInt(const char* key, int value);
    JsonResultWriter& AddInt64(const char* key, std::int64_t value);
    JsonResultWriter& AddBool(const char* key, bool value);
    // A non-finite value, which JSON cannot hold, is written as null.
    JsonResultWriter& AddDouble(const char* key, double value);

    // A member (or, without a key, an array element) whose value is a finished JSON object or
    // array, spliced in unchanged after checking that it parses to `kind`. A null or empty text,
    // a text that does not parse, or one of another kind gives the empty value of `kind` ({} or
    // []). `kind` is kObjectType or kArrayType; any other kind writes null.
    JsonResultWriter& AddRawJson(const char* key, const char* text, rapidjson::Type kind);
    // The same for another writer's finished text.
    JsonResultWriter& AddRawJson(const char* key, JsonResultWriter& nested, rapidjson::Type kind);

    // Ends the object or array; the text stays owned by the writer. Later calls return it again.
    const char* Finish();
    std::size_t Size() const { return buffer_.GetSize(); }

  private:
    void WriteKey(const char* key);
    void WriteRaw(const char* text, std::size_t size, rapidjson::Type kind);

    Buffer buffer_;
    Writer writer_;
    rapidjson::Type kind_;
    bool finished_ = false;
};

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
