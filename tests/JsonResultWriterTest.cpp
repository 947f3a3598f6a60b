// The writer's bytes: compact JSON, RapidJSON's escapes, and nested texts spliced in unchanged.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "JsonResultWriter.h"

namespace VeloTest {
namespace {

using Corvan::Velo::Bridge::JsonResultWriter;
using rapidjson::kArrayType;
using rapidjson::kObjectType;

TEST(JsonResultWriterTest, WritesCompactMembersOfEveryType) {
    JsonResultWriter json;
    json.AddString("s", "text")
        .AddInt("i", INT_MIN)
        .AddInt("j", INT_MAX)
        .AddInt64("l", INT64_MIN)
        .AddInt64("m", 4294967296LL)
        .AddBool("t", true)
        .AddBool("f", false);
    EXPECT_EQ(std::string(json.Finish()),
              R"({"s":"text","i":-2147483648,"j":2147483647,"l":-9223372036854775808,)"
              R"("m":4294967296,"t":true,"f":false})");
}

TEST(JsonResultWriterTest, EscapesControlBytesQuotesAndBackslashesOnly) {
    std::string all;
    for (int byte = 1; byte < 0x20; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    all += "\"\\/\x7F\xC3\xA9\xFF";
    JsonResultWriter json;
    json.AddString("v", all);
    EXPECT_EQ(std::string(json.Finish()),
              "{\"v\":\"\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007\\b\\t\\n\\u000B\\f\\r"
              "\\u000E\\u000F\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017\\u0018"
              "\\u0019\\u001A\\u001B\\u001C\\u001D\\u001E\\u001F\\\"\\\\/\x7F\xC3\xA9\xFF\"}");
}

struct RawCase {
    const char* name;
    const char* key;
    const char* text;
    rapidjson::Type kind;
    const char* expected;
};

void PrintTo(const RawCase& c, std::ostream* os) {
    *os << c.name;
}

class AddRawJsonTest : public ::testing::TestWithParam<RawCase> {};

TEST_P(AddRawJsonTest, WritesTheMemberAsGiven) {
    const RawCase& c = GetParam();
    JsonResultWriter json;
    json.AddInt("before", 1).AddRawJson(c.key, c.text, c.kind).AddInt("after", 2);
    EXPECT_EQ(std::string(json.Finish()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Splicing, AddRawJsonTest,
    ::testing::Values(
        RawCase{"Object", "k", R"({"a":[1,{"b":"\"x\""}]})", kObjectType,
                R"({"before":1,"k":{"a":[1,{"b":"\"x\""}]},"after":2})"},
        RawCase{"Array", "k", R"([{},[],"s",-1.5e3,null,true])", kArrayType,
                R"({"before":1,"k":[{},[],"s",-1.5e3,null,true],"after":2})"},
        // Spliced verbatim, white space included.
        RawCase{"WhiteSpaceKept", "k", "{ \"a\" : 1 }", kObjectType,
                R"({"before":1,"k":{ "a" : 1 },"after":2})"},
        RawCase{"NullText", "k", nullptr, kObjectType, R"({"before":1,"k":{},"after":2})"},
        RawCase{"EmptyText", "k", "", kArrayType, R"({"before":1,"k":[],"after":2})"},
        // Malformed, or of the other kind: the empty value of the requested kind.
        RawCase{"Malformed", "k", R"({"a":)", kObjectType, R"({"before":1,"k":{},"after":2})"},
        RawCase{"ArrayForObject", "k", "[1,2]", kObjectType, R"({"before":1,"k":{},"after":2})"},
        RawCase{"ObjectForArray", "k", R"({"a":1})", kArrayType,
                R"({"before":1,"k":[],"after":2})"},
        RawCase{"TwoRoots", "k", "{} {}", kObjectType, R"({"before":1,"k":{},"after":2})"},
        RawCase{"StringRoot", "k", "\"text\"", kArrayType, R"({"before":1,"k":[],"after":2})"},
        RawCase{"RawControlByte", "k", "{\"a\":\"\x01\"}", kObjectType,
                R"({"before":1,"k":{},"after":2})"}),
    [](const ::testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

TEST(JsonResultWriterTest, RawJsonWithoutAKeyIsAnArrayElement) {
    JsonResultWriter json(kArrayType);
    json.AddRawJson(nullptr, R"({"a":1})", kObjectType)
        .AddRawJson("", "[2]", kArrayType)
        .AddRawJson(nullptr, "oops", kObjectType)
        .AddRawJson(nullptr, nullptr, kArrayType);
    EXPECT_EQ(std::string(json.Finish()), R"([{"a":1},[2],{},[]])");
}

// A writer keeps a first stretch of text in its own storage and moves to the heap beyond it; the
// text must come out whole on both sides of that boundary and across it.
TEST(JsonResultWriterTest, TextsOfEverySizeAroundTheWritersOwnStorageComeOutWhole) {
    for (std::size_t size = 900; size <= 5000; size += 97) {
        SCOPED_TRACE("size " + std::to_string(size));
        std::string value(size, 'v');
        value[size / 2] = '"';
        JsonResultWriter json;
        json.AddString("a", value).AddInt("b", 1).AddString("c", value);
        std::string escaped = value;
        escaped.insert(size / 2, 1, '\\');
        EXPECT_EQ(std::string(json.Finish()),
                  R"({"a":")" + escaped + R"(","b":1,"c":")" + escaped + R"("})");
    }
}

}  // namespace
}  // namespace VeloTest
