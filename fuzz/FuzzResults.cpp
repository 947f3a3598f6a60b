// Result records with fuzzed numbers and texts, through the handlers: each delivered text parses
// with a strict parser and gives back the record's values (texts up to their first zero byte).
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

#include "FuzzCheck.h"
#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

namespace Velo = Corvan::Velo;
using nlohmann::json;
using VeloFuzz::Member;
using VeloFuzz::Require;

json g_delivered;
int g_deliveries = 0;

void Receive(int methodNameID, const char* text) {
    g_delivered = VeloFuzz::ParseStrict(text);
    Require(g_delivered.at("methodNameID") == methodNameID, "callback method number");
    ++g_deliveries;
}

// Fires `ret` and checks that the one text delivered has `size` members, among them `members`
// and the envelope's.
template <class Record>
void Check(bool (*fire)(const Record&), const Record& ret, std::size_t size, json members) {
    g_deliveries = 0;
    fire(ret);
    Require(g_deliveries == 1 && g_delivered.size() == size, "one text with its members");
    members.update(json{{"methodNameID", ret.methodNameID},
                        {"retCode", ret.retCode},
                        {"retMsg", Member(ret.retMsg)},
                        {"ret", ret.ret},
                        {"msg", Member(ret.msg)},
                        {"extraJson", Member(ret.extraJson)}});
    for (const auto& member : members.items()) {
        Require(g_delivered.at(member.key()) == member.value(), member.key().c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setUnityCallback(&Receive);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto text = [&] { return input.ConsumeRandomLengthString(128); };
    const auto integer = [&] { return input.ConsumeIntegral<int>(); };
    const auto base = [&](Velo::VeloBaseRet& ret) {
        ret.methodNameID = integer();
        ret.retCode = integer();
        ret.retMsg = text();
        ret.ret = integer();
        ret.msg = text();
        ret.extraJson = text();
    };
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            Velo::VeloLoginRet ret;
            base(ret);
            ret.openid = text();
            ret.token_expire_time = input.ConsumeIntegral<std::int64_t>();
            ret.need_name_auth = input.ConsumeBool();
            ret.bind_list = text();
            Check(&Velo::StandIn::FireLoginResult, ret, 24,
                  {{"openid", Member(ret.openid)},
                   {"token_expire_time", ret.token_expire_time},
                   {"need_name_auth", ret.need_name_auth},
                   {"bind_list", Member(ret.bind_list)}});
            break;
        }
        case 1: {
            Velo::VeloNoticeRet ret;
            base(ret);
            json notices = json::array();
            ret.notice_list.resize(input.ConsumeIntegralInRange<int>(0, 4));
            for (Velo::VeloNoticeInfo& notice : ret.notice_list) {
                notice.notice_id = integer();
                notice.notice_text_obj.notice_content = text();
                notice.notice_pic_list.resize(input.ConsumeIntegralInRange<int>(0, 3));
                json pictures = json::array();
                for (Velo::VeloNoticePicInfo& picture : notice.notice_pic_list) {
                    picture.pic_title = text();
                    pictures.push_back(Member(picture.pic_title));
                }
                notices.push_back(
                    {notice.notice_id, Member(notice.notice_text_obj.notice_content), pictures});
            }
            Check(&Velo::StandIn::FireNoticeResult, ret, 7, {});
            json read = json::array();
            for (const json& notice : g_delivered.at("notice_list")) {
                json pictures = json::array();
                for (const json& picture : notice.at("notice_pic_list")) {
                    pictures.push_back(picture.at("pic_title"));
                }
                read.push_back({notice.at("notice_id"),
                                notice.at("notice_text_obj").at("notice_content"), pictures});
            }
            Require(read == notices, "the notices and their pictures in record order");
            break;
        }
        default: {
            Velo::VeloWebViewRet ret;
            base(ret);
            ret.msgJsonData = text();
            const std::string bytes = input.ConsumeBytesAsString(sizeof ret.embedProgress);
            std::memcpy(&ret.embedProgress, (bytes + std::string(4, '\0')).data(), 4);
            const double progress = ret.embedProgress;
            Check(&Velo::StandIn::FireWebViewResult, ret, 10,
                  {{"msgJsonData", Member(ret.msgJsonData)},
                   {"embedProgress", std::isfinite(progress) ? json(progress) : json()}});
            break;
        }
    }
    return 0;
}
