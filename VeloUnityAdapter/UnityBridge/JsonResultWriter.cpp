#include "JsonResultWriter.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include <rapidjson/reader.h>

#include "StrictJson.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

// Room for a typical result in the writer's own storage, beside the nesting levels.
constexpr std::size_t kInitialCapacity = 1024;
// Nesting levels: an object or array of values, never deeper (nested values come spliced in).
constexpr std::size_t kLevelDepth = 2;

// Accepts any well-formed JSON whose numbers fit a double, and remembers the kind of its root
// value. Numbers come as their text (kParseNumbersAsStringsFlag), to be judged exactly.
class RootKindHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RootKindHandler> {
  public:
    bool StartObject() { return Begin(rapidjson::kObjectType); }
    bool StartArray() { return Begin(rapidjson::kArrayType); }
    bool Default() { return Begin(rapidjson::kNullType); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        return StrictJson::FitsDouble(text, length) && Default();
    }
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

// Whether `text`, ended by a zero, is JSON of `kind` that the reader accepts with every number
// within a double's range. Parsed in place (no string or number is copied), which overwrites it.
bool ParsesInPlace(char* text, rapidjson::Type kind) {
    WriterAllocator allocator;
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, WriterAllocator> reader(
        &allocator);
    rapidjson::InsituStringStream stream(text);
    RootKindHandler handler;
    const rapidjson::ParseResult result =
        reader.Parse<rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag>(stream,
                                                                                          handler);
    return !result.IsError() && handler.root == kind;
}

}  // namespace

std::uint64_t WriterAllocator::TagOf(const void* block) {
    std::uint64_t tag = 0;
    std::memcpy(&tag, static_cast<const unsigned char*>(block) - kHeader, sizeof tag);
    return tag;
}

void* WriterAllocator::HeapBlock(std::size_t size) {
    if (size > SIZE_MAX - kHeader) {
        throw std::bad_alloc();
    }
    auto* header = static_cast<unsigned char*>(std::malloc(kHeader + size));
    if (header == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(header, &kHeapBlock, sizeof kHeapBlock);
    return header + kHeader;
}

void* WriterAllocator::Resized(void* original, std::size_t originalSize, std::size_t newSize) {
    if (newSize == 0) {
        Free(original);
        return nullptr;
    }
    if (TagOf(original) == kHeapBlock) {
        if (newSize > SIZE_MAX - kHeader) {
            throw std::bad_alloc();
        }
        // On failure realloc leaves the block allocated; its owner still frees it.
        auto* moved = static_cast<unsigned char*>(
            std::realloc(static_cast<unsigned char*>(original) - kHeader, kHeader + newSize));
        if (moved == nullptr) {
            throw std::bad_alloc();
        }
        return moved + kHeader;
    }
    const std::size_t offset =
        static_cast<std::size_t>(static_cast<unsigned char*>(original) - storage_);
    if (original == last_ && newSize <= kInlineBytes - offset &&
        Rounded(newSize) <= kInlineBytes - offset) {
        used_ = offset + Rounded(newSize);
        return original;
    }
    void* moved = HeapBlock(newSize);
    std::memcpy(moved, original, originalSize < newSize ? originalSize : newSize);
    return moved;
}

void WriterAllocator::Free(void* block) {
    if (block != nullptr && TagOf(block) == kHeapBlock) {
        std::free(static_cast<unsigned char*>(block) - kHeader);
    }
}

JsonResultWriter::JsonResultWriter(rapidjson::Type kind)
    : buffer_(&allocator_, kInitialCapacity),
      writer_(buffer_, &allocator_, kLevelDepth),
      kind_(kind) {
    if (kind_ == rapidjson::kArrayType) {
        writer_.StartArray();
    } else {
        writer_.StartObject();
    }
}

JsonResultWriter& JsonResultWriter::AddRawJson(JsonKey key, const char* text,
                                               rapidjson::Type kind) {
    const std::size_t size = text != nullptr ? std::strlen(text) : 0;
    WriterAllocator allocator;
    JsonBuffer disposable(&allocator, size + 1);
    if (size != 0) {
        std::memcpy(disposable.Push(size), text, size);
    }
    WriteRaw(key, text, size, const_cast<char*>(disposable.GetString()), kind);
    return *this;
}

JsonResultWriter& JsonResultWriter::AddRawJson(JsonKey key, JsonResultWriter&& nested,
                                               rapidjson::Type kind) {
    // The nested text lives in the nested writer's own buffer, which nothing reads again.
    const char* text = nested.Finish();
    WriteRaw(key, text, nested.Size(), const_cast<char*>(text), kind);
    return *this;
}

void JsonResultWriter::WriteRaw(JsonKey key, const char* text, std::size_t size, char* disposable,
                                rapidjson::Type kind) {
    WriteKey(key);
    if (kind != rapidjson::kObjectType && kind != rapidjson::kArrayType) {
        writer_.Null();
        return;
    }
    // RawValue writes the separator and keeps the writer's count of values; the bytes themselves
    // are copied in one go rather than one by one, before the check overwrites `disposable`.
    writer_.RawValue(text, 0, kind);
    if (size != 0) {
        char* const spliced = buffer_.Push(size);
        std::memcpy(spliced, text, size);
        if (ParsesInPlace(disposable, kind) &&
            StrictJson::FindLoneSurrogate(spliced, size) == nullptr) {
            return;
        }
        buffer_.Pop(size);
    }
    std::memcpy(buffer_.Push(2), kind == rapidjson::kObjectType ? "{}" : "[]", 2);
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
