#include "JsonResultWriter.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include <rapidjson/reader.h>

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

// Room for a typical result without growing the buffer.
constexpr std::size_t kInitialCapacity = 512;

// Accepts any well-formed JSON and remembers the kind of its root value.
class RootKindHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RootKindHandler> {
  public:
    bool StartObject() { return Begin(rapidjson::kObjectType); }
    bool StartArray() { return Begin(rapidjson::kArrayType); }
    bool Default() { return Begin(rapidjson::kNullType); }
    rapidjson::Type root = rapidjson::kNullType;

  private:
    bool Begin(rapidjson::Type kind) {
        if (!started_) {
            started_ = true;
            root = kind;
        }
        return true;
    }
    bool started_ = false;
};

bool ParsesAs(const char* text, rapidjson::Type kind) {
    ThrowingAllocator allocator;
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ThrowingAllocator> reader(
        &allocator);
    rapidjson::StringStream stream(text);
    RootKindHandler handler;
    const rapidjson::ParseResult result = reader.Parse(stream, handler);
    return !result.IsError() && handler.root == kind;
}

}  // namespace

void* ThrowingAllocator::Malloc(std::size_t size) {
    if (size == 0) {
        return nullptr;
    }
    void* memory = std::malloc(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void* ThrowingAllocator::Realloc(void* original, std::size_t, std::size_t newSize) {
    if (newSize == 0) {
        std::free(original);
        return nullptr;
    }
    // On failure realloc leaves `original` allocated; its owner still frees it.
    void* memory = std::realloc(original, newSize);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void ThrowingAllocator::Free(void* pointer) {
    std::free(pointer);
}

JsonResultWriter::JsonResultWriter(rapidjson::Type kind)
    : buffer_(nullptr, kInitialCapacity), writer_(buffer_), kind_(kind) {
    if (kind_ == rapidjson::kArrayType) {
        writer_.StartArray();
    } else {
        writer_.StartObject();
    }
}

void JsonResultWriter::WriteKey(const char* key) {
    if (key != nullptr && key[0] != '\0') {
        writer_.Key(key, static_cast<rapidjson::SizeType>(std::strlen(key)));
    }
}

JsonResultWriter& JsonResultWriter::AddString(const char* key, const std::string& value) {
    WriteKey(key);
    writer_.String(value.c_str(), static_cast<rapidjson::SizeType>(std::strlen(value.c_str())));
    return *this;
}

JsonResultWriter& JsonResultWriter::AddInt(const char* key, int value) {
    WriteKey(key);
    writer_.Int(value);
    return *this;
}

JsonResultWriter& JsonResultWriter::AddInt64(const char* key, std::int64_t value) {
    WriteKey(key);
    writer_.Int64(value);
    return *this;
}

JsonResultWriter& JsonResultWriter::AddBool(const char* key, bool value) {
    WriteKey(key);
    writer_.Bool(value);
    return *this;
}

JsonResultWriter& JsonResultWriter::AddDouble(const char* key, double value) {
    WriteKey(key);
    if (std::isfinite(value)) {
        writer_.Double(value);
    } else {
        writer_.Null();
    }
    return *this;
}

JsonResultWriter& JsonResultWriter::AddRawJson(const char* key, const char* text,
                                               rapidjson::Type kind) {
    WriteKey(key);
    WriteRaw(text, text != nullptr ? std::strlen(text) : 0, kind);
    return *this;
}

JsonResultWriter& JsonResultWriter::AddRawJson(const char* key, JsonResultWriter& nested,
                                               rapidjson::Type kind) {
    WriteKey(key);
    const char* text = nested.Finish();
    WriteRaw(text, nested.Size(), kind);
    return *this;
}

void JsonResultWriter::WriteRaw(const char* text, std::size_t size, rapidjson::Type kind) {
    if (kind != rapidjson::kObjectType && kind != rapidjson::kArrayType) {
        writer_.Null();
        return;
    }
    if (size > 0 && ParsesAs(text, kind)) {
        writer_.RawValue(text, size, kind);
    } else {
        writer_.RawValue(kind == rapidjson::kObjectType ? "{}" : "[]", 2, kind);
    }
}

const char* JsonResultWriter::Finish() {
    if (!finished_) {
        if (kind_ == rapidjson::kArrayType) {
            writer_.EndArray();
        } else {
            writer_.EndObject();
        }
        finished_ = true;
    }
    return buffer_.GetString();
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
