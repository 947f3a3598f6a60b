// Writes one compact JSON object (or array) with RapidJSON: no white space, strings escaped the
// way RapidJSON's writer escapes them by default, every other byte passed through unchanged.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <rapidjson/rapidjson.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Corvan {
namespace Velo {
namespace Bridge {

// RapidJSON's allocator for the two stacks of one writer (its text and its nesting levels). It
// serves them from storage inside the writer while that lasts, so that a typical result is written
// without touching the heap, and from the heap after. Running out of memory throws
// std::bad_alloc instead of handing RapidJSON a null pointer to write through.
class WriterAllocator {
  public:
    static const bool kNeedFree = true;

    WriterAllocator() = default;
    WriterAllocator(const WriterAllocator&) = delete;
    WriterAllocator& operator=(const WriterAllocator&) = delete;

    // Inline: a writer's first two blocks come from here on every result.
    void* Malloc(std::size_t size) {
        if (size != 0 && size <= kInlineBytes && Rounded(size) + kHeader <= kInlineBytes - used_) {
            unsigned char* const block = storage_ + used_ + kHeader;
            std::memcpy(block - kHeader, &kInlineBlock, sizeof kInlineBlock);
            used_ += kHeader + Rounded(size);
            last_ = block;
            return block;
        }
        return size != 0 ? HeapBlock(size) : nullptr;
    }
    void* Realloc(void* original, std::size_t originalSize, std::size_t newSize) {
        return original == nullptr ? Malloc(newSize) : Resized(original, originalSize, newSize);
    }
    // RapidJSON frees without an allocator at hand: each block's header tells where it lives.
    static void Free(void* block);

    static constexpr std::size_t kInlineBytes = 2048;

  private:
    // Each block begins after a header of 16 bytes whose first 8 tell where it lives.
    static constexpr std::size_t kHeader = 16;
    static constexpr std::uint64_t kInlineBlock = 0x1d1e5700a11ce001;
    static constexpr std::uint64_t kHeapBlock = 0x1d1e5700a11ce002;

    static std::size_t Rounded(std::size_t size) {
        return (size + 15) & ~static_cast<std::size_t>(15);
    }
    static std::uint64_t TagOf(const void* block);
    static void* HeapBlock(std::size_t size);
    void* Resized(void* original, std::size_t originalSize, std::size_t newSize);

    std::size_t used_ = 0;
    void* last_ = nullptr;  // the latest block served from storage, which can grow in place
    alignas(64) unsigned char storage_[kInlineBytes];
};

using JsonBuffer = rapidjson::GenericStringBuffer<rapidjson::UTF8<>, WriterAllocator>;
using JsonWriter =
    rapidjson::Writer<JsonBuffer, rapidjson::UTF8<>, rapidjson::UTF8<>, WriterAllocator>;

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

// Strings are written run by run: RapidJSON asks this function to copy the bytes that need no
// escape before it escapes the next one, and by default copies them one at a time. Here each run
// is found with a table and copied at once. The bytes written are the same: quotation mark,
// backslash and bytes below 0x20 are left to RapidJSON's escaping; every other byte, 0x7F and
// 0x80 to 0xFF included, passes unchanged.
template <>
inline bool Corvan::Velo::Bridge::JsonWriter::ScanWriteUnescapedString(rapidjson::StringStream& is,
                                                                       std::size_t length) {
    struct EscapeTable {
        bool escaped[256] = {};
        constexpr EscapeTable() {
            for (int byte = 0; byte < 0x20; ++byte) {
                escaped[byte] = true;
            }
            escaped[static_cast<unsigned char>('"')] = true;
            escaped[static_cast<unsigned char>('\\')] = true;
        }
    };
    static constexpr EscapeTable kTable;
    const char* const start = is.src_;
    const char* const end = is.head_ + length;
    const char* p = start;
    while (p != end && !kTable.escaped[static_cast<unsigned char>(*p)]) {
        ++p;
    }
    const std::size_t run = static_cast<std::size_t>(p - start);
    if (run != 0) {
        // WriteString reserved room for the whole string before asking.
        char* out = os_->PushUnsafe(run);
        if (run <= 16) {
            for (std::size_t i = 0; i < run; ++i) {  // short runs, keys above all: no call
                out[i] = start[i];
            }
        } else {
            std::memcpy(out, start, run);
        }
        is.src_ = p;
    }
    return p != end;
}

namespace Corvan {
namespace Velo {
namespace Bridge {

// A member's key, measured where the call is written, so that a literal key's length is known
// when compiling. A null or empty key writes no key (array elements).
struct JsonKey {
    JsonKey(const char* key) : text(key), length(key != nullptr ? std::strlen(key) : 0) {}
    const char* text;
    std::size_t length;
};

class JsonResultWriter {
  public:
    // RapidJSON reserves room for a string's worst case, six bytes a byte, counting in 32 bits:
    // the count of a longer text would wrap around and the writing overrun the buffer.
    static constexpr std::size_t kLongestText = (UINT32_MAX - 2) / 6;

    // Begins an object, or an array for rapidjson::kArrayType.
    explicit JsonResultWriter(rapidjson::Type kind = rapidjson::kObjectType);
    JsonResultWriter(const JsonResultWriter&) = delete;
    JsonResultWriter& operator=(const JsonResultWriter&) = delete;

    // A text member, written up to the value's first zero byte.
    // Throws std::length_error for a text longer than kLongestText.
    JsonResultWriter& AddString(JsonKey key, const std::string& value) {
        const std::size_t length = std::strlen(value.c_str());
        if (length > kLongestText) {
            throw std::length_error("text too long to write as JSON");
        }
        WriteKey(key);
        writer_.String(value.c_str(), static_cast<rapidjson::SizeType>(length));
        return *this;
    }
    JsonResultWriter& AddInt(JsonKey key, int value) {
        WriteKey(key);
        writer_.Int(value);
        return *this;
    }
    JsonResultWriter& AddInt64(JsonKey key, std::int64_t value) {
        WriteKey(key);
        writer_.Int64(value);
        return *this;
    }
    JsonResultWriter& AddBool(JsonKey key, bool value) {
        WriteKey(key);
        writer_.Bool(value);
        return *this;
    }
    // A non-finite value, which JSON cannot hold, is written as null.
    JsonResultWriter& AddDouble(JsonKey key, double value) {
        WriteKey(key);
        if (std::isfinite(value)) {
            writer_.Double(value);
        } else {
            writer_.Null();
        }
        return *this;
    }

    // A member (or, without a key, an array element) whose value is a finished JSON object or
    // array, spliced in unchanged after checking that it parses to `kind` as every strict reader
    // parses it (no number beyond a double's range, no lone surrogate escape). A null or empty
    // text, a text that does not parse so, or one of another kind gives the empty value of `kind`
    // ({} or []). `kind` is kObjectType or kArrayType; any other kind writes null.
    JsonResultWriter& AddRawJson(JsonKey key, const char* text, rapidjson::Type kind);
    // The same for another writer's finished text, which the check uses up: it parses the nested
    // writer's own copy in place, and the nested writer is done with.
    JsonResultWriter& AddRawJson(JsonKey key, JsonResultWriter&& nested, rapidjson::Type kind);

    // Ends the object or array; the text stays owned by the writer. Later calls return it again.
    const char* Finish();
    std::size_t Size() const { return buffer_.GetSize(); }

  private:
    void WriteKey(JsonKey key) {
        if (key.length != 0) {
            writer_.Key(key.text, static_cast<rapidjson::SizeType>(key.length));
        }
    }
    // Splices `size` bytes of `text` after checking them by parsing `disposable`, the same bytes
    // and a zero after them, in place.
    void WriteRaw(JsonKey key, const char* text, std::size_t size, char* disposable,
                  rapidjson::Type kind);

    // The buffer and the writer only keep the allocator's address until the constructor's body
    // begins the object; its storage comes last, away from the stack pointers that writing
    // updates for every byte.
    JsonBuffer buffer_;
    JsonWriter writer_;
    rapidjson::Type kind_;
    bool finished_ = false;
    WriterAllocator allocator_;
};

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
