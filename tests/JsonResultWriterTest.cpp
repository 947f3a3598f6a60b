// The writer's bytes: nested texts spliced in unchanged or replaced, texts of
// every size whole.
#include <gtest/gtest.h>

#include "JsonResultWriter.h"

namespace VeloTest {
namespace {

using Corvan::Velo::Bridge::JsonResultWriter;
using rapidjson::kArrayType;
using rapidjson::kObjectType;

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
        // Malformed, or of the other kind: the empty value of the requested
        // kind.
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

// A writer keeps a first stretch of text in its own storage and moves to the
// heap beyond it; the text must come out whole on both sides of that boundary
// and across it.
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
