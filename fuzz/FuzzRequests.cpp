// Request exports with fuzzed texts, null included: the core receives exactly the bytes before
// the first zero, in place, with the integers and flags as given.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "FuzzCheck.h"
#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

using Corvan::Velo::StandIn::RecordedArg;

// Null or a zero-terminated text that may hold further zero bytes after its end.
struct FuzzText {
    bool null;
    std::string bytes;
    const char* get() const { return null ? nullptr : bytes.c_str(); }
    std::string expected() const {
        return null ? std::string() : bytes.substr(0, bytes.find('\0'));
    }
};

FuzzText Take(FuzzedDataProvider& input) {
    FuzzText text;
    text.null = input.ConsumeIntegralInRange<int>(0, 7) == 0;
    text.bytes = input.ConsumeRandomLengthString(256);
    return text;
}

void CheckText(const RecordedArg& arg, const FuzzText& text) {
    VeloFuzz::Require(arg.kind == RecordedArg::Kind::Text, "a text argument");
    VeloFuzz::Require(!arg.null && arg.terminated, "a terminated buffer");
    VeloFuzz::Require(arg.length == text.expected().size(), "the byte length");
    VeloFuzz::Require(arg.bytes == text.expected(), "the bytes before the first zero");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Corvan::Velo::StandIn::Reset();
    const int which = input.ConsumeIntegralInRange<int>(0, 3);
    FuzzText t[13];
    for (FuzzText& text : t) {
        text = Take(input);
    }
    const int n = input.ConsumeIntegral<int>();
    const int m = input.ConsumeIntegral<int>();
    const bool flag = input.ConsumeBool();
    std::vector<int> textsAt;
    switch (which) {
        case 0:
            loginAdapter(t[0].get(), t[1].get(), t[2].get(), t[3].get());
            textsAt = {0, 1, 2, 3};
            break;
        case 1:
            modifyAdapter(t[0].get(), n, t[2].get(), m, n, m, t[6].get(), t[7].get(), n, t[9].get(),
                          t[10].get(), t[11].get(), t[12].get());
            textsAt = {0, 2, 6, 7, 9, 10, 11, 12};
            break;
        case 2:
            openUrlAdapter(t[0].get(), n, flag, !flag, t[4].get(), flag);
            textsAt = {0, 4};
            break;
        default:
            releaseTextAdapter(
                loadNoticeDataAdapter(t[0].get(), t[1].get(), n, t[3].get(), t[4].get()));
            textsAt = {0, 1, 3, 4};
            break;
    }
    const auto calls = Corvan::Velo::StandIn::Calls();
    VeloFuzz::Require(calls.size() == 1, "one core call");
    for (const int position : textsAt) {
        CheckText(calls[0].args.at(position), t[position]);
    }
    if (which != 0) {
        const RecordedArg& integer = calls[0].args.at(which == 3 ? 2 : 1);
        VeloFuzz::Require(integer.kind == RecordedArg::Kind::Int && integer.integer == n,
                          "the integer in place");
    }
    return 0;
}
