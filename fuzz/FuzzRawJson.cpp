// Any text, spliced as either kind: the writer's output stays valid JSON.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "JsonResultWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool array = input.ConsumeBool();
    const bool keyed = input.ConsumeBool();
    const std::string text = input.ConsumeRemainingBytesAsString();
    const rapidjson::Type kind = array ? rapidjson::kArrayType : rapidjson::kObjectType;

    Corvan::Velo::Bridge::JsonResultWriter json(keyed ? rapidjson::kObjectType
                                                      : rapidjson::kArrayType);
    json.AddInt(keyed ? "before" : nullptr, 1)
        .AddRawJson(keyed ? "raw" : nullptr, text.c_str(), kind)
        .AddInt(keyed ? "after" : nullptr, 2);
    const std::string written = json.Finish();
    VeloFuzz::Require(nlohmann::json::accept(VeloFuzz::AsAscii(written)),
                      "the output is valid JSON");

    // The text is spliced verbatim, or replaced by the empty value of its kind.
    const std::string before = keyed ? "{\"before\":1,\"raw\":" : "[1,";
    const std::string after = keyed ? ",\"after\":2}" : ",2]";
    VeloFuzz::Require(written.size() >= before.size() + after.size() &&
                          written.compare(0, before.size(), before) == 0 &&
                          written.compare(written.size() - after.size(), after.size(), after) == 0,
                      "the members around the spliced value survive");
    const std::string spliced =
        written.substr(before.size(), written.size() - before.size() - after.size());
    const std::string cut = text.substr(0, text.find('\0'));
    const std::string empty = array ? "[]" : "{}";
    VeloFuzz::Require(spliced == cut || spliced == empty, "the text verbatim or the empty value");
    if (spliced == cut && spliced != empty) {
        const std::size_t first = spliced.find_first_not_of(" \t\n\r");
        VeloFuzz::Require(spliced[first] == (array ? '[' : '{'), "a spliced value of its kind");
    }
    return 0;
}
