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
    std::string expected;
};

// 2^1024 - 2^970, halfway between the largest double and 2^1024: it rounds to infinity.
constexpr char kLeastInfinity[] =
    "[17976931348623158079372897140530341507993413271003782693617377898044496829276475094664901797"
    "75872070963302864166928879109465555478519404026306574886715058206819089020007083836762738548"
    "45817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711"
    "559699508093042880177904174497792]";
// Just below it, the largest double's neighbourhood written three ways, a number that reads as
// zero, and a surrogate pair after an escaped backslash.
constexpr char kLargestDoubles[] =
    "[17976931348623158079372897140530341507993413271003782693617377898044496829276475094664901797"
    "75872070963302864166928879109465555478519404026306574886715058206819089020007083836762738548"
    "45817711531764475730270069855571366959622842914819860834936475292719074168444365510704342711"
    "559699508093042880177904174497791,-1.7976931348623158e308,0.0017976931348623157e311,1e-400,"
    "\"\\\\\\uD83D\\uDE00\"]";

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
                R"({"before":1,"k":{},"after":2})"},
        // What strict readers refuse: a number beyond a double's range, even where its exponent
        // alone is not (13 digits, e306), and a lone surrogate escape, low or high.
        RawCase{"NumberBeyondADouble", "k", "[6068882444418e306]", kArrayType,
                R"({"before":1,"k":[],"after":2})"},
        RawCase{"LeastNumberThatRoundsToInfinity", "k", kLeastInfinity, kArrayType,
                R"({"before":1,"k":[],"after":2})"},
        RawCase{"LoneLowSurrogate", "k", R"({"a":"\uDDDD"})", kObjectType,
                R"({"before":1,"k":{},"after":2})"},
        RawCase{"LoneHighSurrogate", "k", R"({"\ud800":1})", kObjectType,
                R"({"before":1,"k":{},"after":2})"},
        // Every number a double holds, and every surrogate pair, are kept.
        RawCase{"LargestDoublesAndPairs", "k", kLargestDoubles, kArrayType,
                std::string(R"({"before":1,"k":)") + kLargestDoubles + R"(,"after":2})"}),
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
