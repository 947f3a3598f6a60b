// Loading notices, and notice results with their nested text parts and pictures.
#include <climits>
#include <nlohmann/json.hpp>

#include "support/RequestCase.h"

namespace VeloTest {
namespace {

using Corvan::Velo::VeloNoticeInfo;
using Corvan::Velo::VeloNoticePicInfo;
using Corvan::Velo::VeloNoticeRet;
namespace StandIn = Corvan::Velo::StandIn;

class NoticeTest : public BridgeTest {};

VeloNoticeRet ZeroRecord() {
    VeloNoticeRet ret;
    ret.retCode = 0;
    ret.ret = 0;
    return ret;
}

const char kZeroEnvelope[] =
    R"({"methodNameID":0,"retCode":0,"retMsg":"","ret":0,"msg":"","extraJson":"",)";

TEST_F(NoticeTest, OneNoticeWithOnePictureAllZero) {
    VeloNoticeRet ret = ZeroRecord();
    ret.notice_list.resize(1);
    ret.notice_list[0].notice_pic_list.resize(1);
    ASSERT_TRUE(StandIn::FireNoticeResult(ret));
    EXPECT_EQ(OnlyDelivery(0),
              std::string(kZeroEnvelope) +
                  R"("notice_list":[{"notice_id":0,"notice_type":0,"notice_group":"",)"
                  R"("start_time":0,"end_time":0,"update_time":0,"order":0,"content_type":0,)"
                  R"("language":"","notice_text_obj":{"notice_title":"","notice_content":"",)"
                  R"("notice_redirect_url":""},"notice_pic_list":[{"pic_url":"","pic_hash":"",)"
                  R"("pic_title":"","pic_size":"","pic_dir":0}],"notice_web_url":"",)"
                  R"("extra_data":""}]})");
}

TEST_F(NoticeTest, EmptyNoticeList) {
    ASSERT_TRUE(StandIn::FireNoticeResult(ZeroRecord()));
    EXPECT_EQ(OnlyDelivery(0), std::string(kZeroEnvelope) + R"("notice_list":[]})");
}

VeloNoticePicInfo Picture(const std::string& tag, int dir) {
    return {"https://p/" + tag + ".png", "h" + tag, "t\"" + tag + "\"", "12", dir};
}

VeloNoticeRet TwoNotices() {
    VeloNoticeRet ret;
    ret.methodNameID = 301;
    ret.retCode = 0;
    ret.retMsg = "ok";
    ret.ret = 0;
    ret.msg = "line\nfeed";
    ret.extraJson = R"({"page":1})";
    VeloNoticeInfo first;
    first.notice_id = 1;
    first.notice_type = 2;
    first.notice_group = "g\\1";
    first.start_time = INT_MIN;
    first.end_time = INT_MAX;
    first.update_time = -5;
    first.order = 3;
    first.content_type = 4;
    first.language = "ja";
    first.notice_text_obj = {"Title \"A\"", "Body\r\n\x01\x1F \xE6\x97\xA5", "https://r/a"};
    first.notice_pic_list = {Picture("a", 2), Picture("b", -1)};
    first.notice_web_url = "https://w/a";
    first.extra_data = R"({"k":["v"]})";
    VeloNoticeInfo second;
    second.notice_id = 9;
    second.notice_text_obj = {"", "", ""};
    second.notice_web_url = "https://w/b";
    ret.notice_list = {first, second};
    return ret;
}

TEST_F(NoticeTest, TwoNoticesAndTwoPicturesInRecordOrderWithEscapesAtEveryDepth) {
    ASSERT_TRUE(StandIn::FireNoticeResult(TwoNotices()));
    EXPECT_EQ(
        OnlyDelivery(301),
        "{\"methodNameID\":301,\"retCode\":0,\"retMsg\":\"ok\",\"ret\":0,\"msg\":\"line\\nfeed\","
        "\"extraJson\":\"{\\\"page\\\":1}\",\"notice_list\":["
        "{\"notice_id\":1,\"notice_type\":2,\"notice_group\":\"g\\\\1\","
        "\"start_time\":-2147483648,\"end_time\":2147483647,\"update_time\":-5,\"order\":3,"
        "\"content_type\":4,\"language\":\"ja\",\"notice_text_obj\":{\"notice_title\":"
        "\"Title \\\"A\\\"\",\"notice_content\":\"Body\\r\\n\\u0001\\u001F \xE6\x97\xA5\","
        "\"notice_redirect_url\":\"https://r/a\"},\"notice_pic_list\":["
        "{\"pic_url\":\"https://p/a.png\",\"pic_hash\":\"ha\",\"pic_title\":\"t\\\"a\\\"\","
        "\"pic_size\":\"12\",\"pic_dir\":2},"
        "{\"pic_url\":\"https://p/b.png\",\"pic_hash\":\"hb\",\"pic_title\":\"t\\\"b\\\"\","
        "\"pic_size\":\"12\",\"pic_dir\":-1}],"
        "\"notice_web_url\":\"https://w/a\",\"extra_data\":\"{\\\"k\\\":[\\\"v\\\"]}\"},"
        "{\"notice_id\":9,\"notice_type\":0,\"notice_group\":\"\",\"start_time\":0,"
        "\"end_time\":0,\"update_time\":0,\"order\":0,\"content_type\":0,\"language\":\"\","
        "\"notice_text_obj\":{\"notice_title\":\"\",\"notice_content\":\"\","
        "\"notice_redirect_url\":\"\"},\"notice_pic_list\":[],"
        "\"notice_web_url\":\"https://w/b\",\"extra_data\":\"\"}]}");
}

TEST_F(NoticeTest, DeliveredTextReadsBackWithAnotherStrictParser) {
    const VeloNoticeRet ret = TwoNotices();
    ASSERT_TRUE(StandIn::FireNoticeResult(ret));
    const nlohmann::json json = nlohmann::json::parse(OnlyDelivery(301));
    EXPECT_EQ(json.at("msg"), ret.msg);
    EXPECT_EQ(json.at("extraJson"), ret.extraJson);
    const nlohmann::json& list = json.at("notice_list");
    ASSERT_EQ(list.size(), ret.notice_list.size());
    for (std::size_t n = 0; n < list.size(); ++n) {
        const VeloNoticeInfo& notice = ret.notice_list[n];
        const nlohmann::json& got = list[n];
        EXPECT_EQ(got.size(), 13u);
        EXPECT_EQ(got.at("notice_id"), notice.notice_id);
        EXPECT_EQ(got.at("notice_group"), notice.notice_group);
        EXPECT_EQ(got.at("start_time"), notice.start_time);
        EXPECT_EQ(got.at("end_time"), notice.end_time);
        EXPECT_EQ(got.at("update_time"), notice.update_time);
        EXPECT_EQ(got.at("extra_data"), notice.extra_data);
        ASSERT_TRUE(got.at("notice_text_obj").is_object());
        EXPECT_EQ(got.at("notice_text_obj").at("notice_content"),
                  notice.notice_text_obj.notice_content);
        const nlohmann::json& pictures = got.at("notice_pic_list");
        ASSERT_TRUE(pictures.is_array());
        ASSERT_EQ(pictures.size(), notice.notice_pic_list.size());
        for (std::size_t p = 0; p < pictures.size(); ++p) {
            EXPECT_EQ(pictures[p].at("pic_title"), notice.notice_pic_list[p].pic_title);
            EXPECT_TRUE(pictures[p].at("pic_size").is_string());
            EXPECT_EQ(pictures[p].at("pic_dir"), notice.notice_pic_list[p].pic_dir);
        }
    }
}

TEST_F(NoticeTest, EachInstallerCallInstallsANewObserver) {
    const auto before = StandIn::Observers(StandIn::ObserverKind::Notice).size();
    setNoticeObserverAdapter();
    setNoticeObserverAdapter();
    const auto after = StandIn::Observers(StandIn::ObserverKind::Notice);
    ASSERT_EQ(after.size(), before + 2);
    EXPECT_NE(after[after.size() - 1], after[after.size() - 2]);
}

class LoadNoticeDataTest : public RequestTest {};

TEST_P(LoadNoticeDataTest, ArgumentsReachTheirPositionsAndCopiesAreFreed) {
    CheckRequest();
}

INSTANTIATE_TEST_SUITE_P(Exports, LoadNoticeDataTest,
                         ::testing::Values(RequestCase{"LoadNoticeData",
                                                       [] {
                                                           releaseTextAdapter(loadNoticeDataAdapter(
                                                               "t1", "t2", -3, "t4", "t5"));
                                                       },
                                                       "LoadNoticeData",
                                                       {T("t1"), T("t2"), I(-3), T("t4"), T("t5")}},
                                           RequestCase{
                                               "LoadNoticeDataNullFirst",
                                               [] {
                                                   releaseTextAdapter(loadNoticeDataAdapter(
                                                       nullptr, Utf8Text().c_str(), 0, "", "t5"));
                                               },
                                               "LoadNoticeData",
                                               {T(""), T(Utf8Text()), I(0), T(""), T("t5")}}),
                         RequestCaseName);

TEST_F(NoticeTest, LoadReturnsTheCoreTextInDistinctBuffersTheCallerOwns) {
    StandIn::SetNoticeDataAnswer(R"({"notices":3})");
    char* first = loadNoticeDataAdapter("", "", 0, "", "");
    char* second = loadNoticeDataAdapter("", "", 0, "", "");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    releaseTextAdapter(first);
    EXPECT_STREQ(second, R"({"notices":3})");
    releaseTextAdapter(second);
}

TEST_F(NoticeTest, LoadOfAnEmptyAnswerReturnsAOneByteText) {
    char* text = loadNoticeDataAdapter("", "", 0, "", "");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], '\0');
    releaseTextAdapter(text);
}

}  // namespace
}  // namespace VeloTest
