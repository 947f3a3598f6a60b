// Whatever the game and the core hand the adapter: every byte value, invalid UTF-8, zero bytes
// inside texts, huge texts. Each text goes through all three ways: as an argument to the core,
// as the core's answer returned to the caller, and inside a result.
#include <cstring>
#include <nlohmann/json.hpp>

#include "JsonResultWriter.h"
#include "support/BridgeTest.h"

namespace VeloTest {
namespace {

std::string EveryNonZeroByte() {
    std::string text;
    for (int byte = 1; byte <= 0xFF; ++byte) {
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

std::string Mebibyte() {
    std::string text(1 << 20, '"');
    for (std::size_t i = 0; i < text.size(); i += 4097) {
        text[i] = static_cast<char>('a' + i % 26);
        text[i + 1] = '\n';
    }
    return text;
}

struct HostileCase {
    const char* name;
    std::string text;
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

// The strict parser insists on UTF-8, while the adapter passes bytes 0x80 to 0xFF through
// unchecked: such bytes are legal only inside strings, so each is read as a letter.
std::string AsAscii(std::string text) {
    for (char& c : text) {
        c = static_cast<unsigned char>(c) >= 0x80 ? 'a' : c;
    }
    return text;
}

class HostileInputTest : public BridgeTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileInputTest, TextsReachTheCoreReturnAndDeliverUpToTheirFirstZeroByte) {
    const std::string& text = GetParam().text;
    const std::string whole = text.substr(0, text.find('\0'));
    callJSAdapter(text.c_str());
    ExpectSingleCall("CallJS", {T(whole)});

    StandIn::SetEncodeUrlAnswer(text);
    char* returned = getEncodeUrlAdapter("");
    ASSERT_NE(returned, nullptr);
    // Zeros after the cut, up to the answer's length.
    EXPECT_EQ(std::string(returned, text.size() + 1),
              whole + std::string(text.size() - whole.size() + 1, '\0'));
    releaseTextAdapter(returned);

    Velo::VeloWebViewRet ret;
    ret.methodNameID = 4;
    ret.msg = text;
    ret.msgJsonData = text;
    ASSERT_TRUE(StandIn::FireWebViewResult(ret));
    const nlohmann::json json = nlohmann::json::parse(AsAscii(OnlyDelivery(4)));
    EXPECT_EQ(json.at("msg").get<std::string>(), AsAscii(whole));
    EXPECT_EQ(json.at("msgJsonData").get<std::string>(), AsAscii(whole));
}

INSTANTIATE_TEST_SUITE_P(Texts, HostileInputTest,
                         ::testing::Values(HostileCase{"Empty", ""}, HostileCase{"Utf8", kUtf8},
                                           HostileCase{"EveryNonZeroByte", EveryNonZeroByte()},
                                           HostileCase{"ZeroInside", std::string("ab\0cd", 5)},
                                           HostileCase{"Mebibyte", Mebibyte()}),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(BridgeTest, ATextTooLongForTheWriterDropsTheResultRatherThanOverrunningIt) {
    // Past this length RapidJSON's 32-bit count of the room a string may need wraps around.
    Velo::VeloBaseRet ret;
    ret.msg.assign(Velo::Bridge::JsonResultWriter::kLongestText + 1, 'x');
    ASSERT_TRUE(StandIn::FireBaseResult(ret));
    EXPECT_TRUE(Deliveries().empty());
    ret.msg.resize(16);
    ASSERT_TRUE(StandIn::FireBaseResult(ret));
    EXPECT_EQ(Deliveries().size(), 1u);
}

}  // namespace
}  // namespace VeloTest
