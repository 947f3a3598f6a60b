// The C control interface: the stand-in's records and results as JSON texts.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "CInterface.h"
#include "RecordReaders.h"
#include "StrictJson.h"
#include "VeloStandIn.h"
#include "VeloStandInC.h"

namespace Corvan {
namespace Velo {
namespace StandIn {
namespace {

// Why the last call of this thread that can fail did; empty when it did not. Plain characters,
// initialised at compile time, so that threads that were running before the library loaded have
// them too and nothing is left to free when a thread ends or the library unloads. A longer
// reason is cut at a character boundary.
constexpr std::size_t kLastErrorSize = 512;
thread_local char t_lastError[kLastErrorSize] = {};

void KeepReason(const char* reason) noexcept {
    std::size_t size = std::min(std::strlen(reason), kLastErrorSize - 1);
    // Back to the first byte of the character that does not fit whole.
    if (size == kLastErrorSize - 1) {
        while (size > 0 && (static_cast<unsigned char>(reason[size]) & 0xC0) == 0x80) {
            --size;
        }
    }
    std::memcpy(t_lastError, reason, size);
    t_lastError[size] = '\0';
}

// A failure of the C interface, with its reason.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Records nest four levels at the most (a notice's pictures); deeper texts are refused before a
// document is built, so that no text can exhaust the stack. So are numbers too large for a double,
// which the document would read as garbage or an infinity, and lone surrogate escapes: a record
// reads as every strict reader reads it.
constexpr unsigned kDeepestRecord = 64;

class RecordCheck : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RecordCheck> {
  public:
    bool StartObject() { return ++depth_ <= kDeepestRecord; }
    bool EndObject(rapidjson::SizeType) { return --depth_, true; }
    bool StartArray() { return ++depth_ <= kDeepestRecord; }
    bool EndArray(rapidjson::SizeType) { return --depth_, true; }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        tooLarge = !StrictJson::FitsDouble(text, length);
        return !tooLarge;
    }
    bool tooLarge = false;

  private:
    unsigned depth_ = 0;
};

// A record text as a JSON object, or Refused with the reason. Null reads as an empty object.
void ParseRecord(const char* text, rapidjson::Document& json) {
    text = text != nullptr ? text : "{}";
    rapidjson::Reader reader;
    rapidjson::StringStream stream(text);
    RecordCheck check;
    // Numbers come as their text, to be judged exactly.
    constexpr unsigned kFlags =
        rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
    const rapidjson::ParseResult checked = reader.Parse<kFlags>(stream, check);
    const std::string at = " (at offset " + std::to_string(checked.Offset()) + ")";
    if (checked.Code() == rapidjson::kParseErrorTermination) {
        throw Refused(check.tooLarge ? "the record holds a number too large for a double" + at
                                     : "the record nests deeper than " +
                                           std::to_string(kDeepestRecord) + " levels" + at);
    }
    if (checked.IsError()) {
        throw Refused(std::string("the record is not JSON: ") +
                      rapidjson::GetParseError_En(checked.Code()) + at);
    }
    if (const char* lone = StrictJson::FindLoneSurrogate(text, std::strlen(text))) {
        throw Refused("the record is not JSON: a \\u escape of a lone surrogate (at offset " +
                      std::to_string(lone - text) + ")");
    }
    // Numbers exactly as written, so that a float's shortest digits give back that float.
    json.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag>(text);
    if (!json.IsObject()) {
        throw Refused("the record is not a JSON object");
    }
}

// Runs `body` at the C boundary: false, with the reason kept for veloStandInLastError, when it
// fails or throws; nothing escapes.
template <class Body>
bool Checked(Body&& body) noexcept {
    try {
        t_lastError[0] = '\0';
        body();
        return true;
    } catch (const std::exception& e) {
        KeepReason(e.what());
    } catch (...) {
        KeepReason("unknown failure");
    }
    return false;
}

// Checked, for a body that gives a value: the value, or `fallback` when it fails.
template <class Value, class Body>
Value CheckedOr(Value fallback, Body&& body) noexcept {
    Value value = fallback;
    Checked([&] { value = body(); });
    return value;
}

char* OwnedText(std::string_view text) {
    char* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (out != nullptr) {
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
    }
    return out;
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
    }
    return hex;
}

std::string CallJson(const RecordedCall& call) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> json(buffer);
    json.StartObject();
    json.Key("operation");
    json.String(call.operation.c_str());
    json.Key("args");
    json.StartArray();
    for (const RecordedArg& arg : call.args) {
        json.StartObject();
        json.Key("kind");
        switch (arg.kind) {
            case RecordedArg::Kind::Text:
                json.String("text");
                json.Key("hex");
                json.String(Hex(arg.bytes).c_str());
                json.Key("length");
                json.Uint(arg.length);
                json.Key("terminated");
                json.Bool(arg.terminated);
                break;
            case RecordedArg::Kind::Int:
                json.String("int");
                json.Key("value");
                json.Int(arg.integer);
                break;
            case RecordedArg::Kind::Flag:
                json.String("flag");
                json.Key("value");
                json.Bool(arg.flag);
                break;
            case RecordedArg::Kind::CText:
                json.String("ctext");
                json.Key("null");
                json.Bool(arg.null);
                json.Key("hex");
                json.String(Hex(arg.bytes).c_str());
                break;
        }
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    return buffer.GetString();
}

}  // namespace

bool CheckedCall(const std::function<void()>& body) noexcept {
    return Checked(body);
}

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan

namespace StandIn = Corvan::Velo::StandIn;
namespace Velo = Corvan::Velo;

extern "C" {

VELO_STANDIN_C_API bool veloStandInReset(void) {
    return StandIn::CheckedOr(false, [] { return StandIn::Reset(); });
}

VELO_STANDIN_C_API void veloStandInSetAnswering(bool on) {
    StandIn::Checked([&] { StandIn::SetAnswering(on); });
}

VELO_STANDIN_C_API bool veloStandInWaitForAnswers(void) {
    return StandIn::CheckedOr(false, [] { return StandIn::WaitForAnswers(); });
}

VELO_STANDIN_C_API void veloStandInSetRecordLimit(int limit) {
    StandIn::Checked(
        [&] { StandIn::SetRecordLimit(limit > 0 ? static_cast<std::size_t>(limit) : 1); });
}

VELO_STANDIN_C_API long long veloStandInDroppedCallCount(void) {
    return StandIn::CheckedOr(0LL, [] { return static_cast<long long>(StandIn::DroppedCalls()); });
}

VELO_STANDIN_C_API int veloStandInCallCount(void) {
    return StandIn::CheckedOr(0, [] { return static_cast<int>(StandIn::Calls().size()); });
}

VELO_STANDIN_C_API char* veloStandInCallJson(int index) {
    return StandIn::CheckedOr<char*>(nullptr, [&] {
        const std::vector<StandIn::RecordedCall> calls = StandIn::Calls();
        if (index < 0 || static_cast<std::size_t>(index) >= calls.size()) {
            throw StandIn::Refused("no call " + std::to_string(index) + " is recorded");
        }
        return StandIn::OwnedText(StandIn::CallJson(calls[static_cast<std::size_t>(index)]));
    });
}

VELO_STANDIN_C_API void veloStandInReleaseText(char* text) {
    std::free(text);
}

VELO_STANDIN_C_API char* veloStandInLastError(void) {
    return StandIn::OwnedText(StandIn::t_lastError);
}

VELO_STANDIN_C_API bool veloStandInFire(const char* kind, const char* recordJson,
                                        bool fromCoreThread) {
    return StandIn::Checked([&] {
        const std::string name = kind != nullptr ? kind : "";
        const StandIn::ResultKind resultKind = StandIn::ResultKindNamed(name);
        rapidjson::Document json;
        StandIn::ParseRecord(recordJson, json);
        StandIn::ResultRecord record = StandIn::ReadResult(resultKind, json, false);
        if (fromCoreThread) {
            StandIn::RunOnCoreThread([record = std::move(record)] { StandIn::FireResult(record); });
        } else if (!StandIn::FireResult(record)) {
            throw StandIn::Refused("no observer for " + name + " results is installed");
        }
    });
}

VELO_STANDIN_C_API bool veloStandInSetLoginRet(const char* recordJson) {
    return StandIn::Checked([&] {
        if (recordJson == nullptr) {
            StandIn::SetLoginRetAnswer(nullptr);
            return;
        }
        rapidjson::Document json;
        StandIn::ParseRecord(recordJson, json);
        Velo::VeloLoginRet record;
        StandIn::ReadLogin(json, record);
        StandIn::SetLoginRetAnswer([record](Velo::VeloLoginRet& ret) {
            ret = record;
            return true;
        });
    });
}

VELO_STANDIN_C_API void veloStandInSetNoticeData(const char* text) {
    StandIn::Checked([&] { StandIn::SetNoticeDataAnswer(text != nullptr ? text : ""); });
}

VELO_STANDIN_C_API void veloStandInSetEncodeUrl(const char* text) {
    StandIn::Checked([&] {
        StandIn::SetEncodeUrlAnswer(text != nullptr ? std::optional<std::string>(text)
                                                    : std::nullopt);
    });
}

}  // extern "C"
