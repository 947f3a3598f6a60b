// Result records with fuzzed numbers and texts, through every handler: each
// delivered text parses with a strict parser and gives back the record's values
// (texts up to their first zero byte).
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

#include "FuzzCheck.h"
#include "VeloStandIn.h"
#include "VeloUnityAdapter.h"

namespace {

namespace Velo = Corvan::Velo;
using VeloFuzz::Member;
using VeloFuzz::Require;

nlohmann::json g_delivered;
int g_methodNameID = 0;
int g_deliveries = 0;

void Receive(int methodNameID, const char *json) {
  g_delivered = VeloFuzz::ParseStrict(json);
  g_methodNameID = methodNameID;
  ++g_deliveries;
}

class Fuzz {
public:
  explicit Fuzz(FuzzedDataProvider &input) : input_(input) {}
  std::string Text() { return input_.ConsumeRandomLengthString(128); }
  int Int() { return input_.ConsumeIntegral<int>(); }
  std::int64_t Int64() { return input_.ConsumeIntegral<std::int64_t>(); }
  bool Bool() { return input_.ConsumeBool(); }
  float Float() {
    float value;
    const std::string bytes = input_.ConsumeBytesAsString(sizeof value);
    std::memcpy(&value, (bytes + std::string(sizeof value, '\0')).data(),
                sizeof value);
    return value;
  }
  template <class Record> void Base(Record &ret) {
    ret.methodNameID = Int();
    ret.retCode = Int();
    ret.retMsg = Text();
    ret.ret = Int();
    ret.msg = Text();
    ret.extraJson = Text();
  }

private:
  FuzzedDataProvider &input_;
};

void CheckEnvelope(const nlohmann::json &json, const Velo::VeloBaseRet &ret) {
  Require(g_methodNameID == ret.methodNameID, "callback method number");
  Require(json.at("methodNameID") == ret.methodNameID, "methodNameID");
  Require(json.at("retCode") == ret.retCode, "retCode");
  Require(json.at("retMsg") == Member(ret.retMsg), "retMsg");
  Require(json.at("ret") == ret.ret, "ret");
  Require(json.at("msg") == Member(ret.msg), "msg");
  Require(json.at("extraJson") == Member(ret.extraJson), "extraJson");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setUnityCallback(&Receive);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data,
                                      std::size_t size) {
  FuzzedDataProvider input(data, size);
  Fuzz fuzz(input);
  g_deliveries = 0;
  const nlohmann::json &json = g_delivered;
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
  case 0: {
    Velo::VeloLoginRet ret;
    fuzz.Base(ret);
    ret.openid = fuzz.Text();
    ret.token_expire_time = fuzz.Int64();
    ret.first = fuzz.Int();
    ret.need_name_auth = fuzz.Bool();
    ret.confirm_code_expire_time = fuzz.Int64();
    ret.bind_list = fuzz.Text();
    Velo::StandIn::FireLoginResult(ret);
    Require(g_deliveries == 1, "one delivery");
    CheckEnvelope(json, ret);
    Require(json.size() == 24, "24 members");
    Require(json.at("openid") == Member(ret.openid), "openid");
    Require(json.at("token_expire_time") == ret.token_expire_time,
            "token_expire_time");
    Require(json.at("first") == ret.first, "first");
    Require(json.at("need_name_auth") == ret.need_name_auth, "need_name_auth");
    Require(json.at("confirm_code_expire_time") == ret.confirm_code_expire_time,
            "confirm_code_expire_time");
    Require(json.at("bind_list") == Member(ret.bind_list), "bind_list");
    break;
  }
  case 1: {
    Velo::VeloNoticeRet ret;
    fuzz.Base(ret);
    ret.notice_list.resize(input.ConsumeIntegralInRange<int>(0, 4));
    for (Velo::VeloNoticeInfo &notice : ret.notice_list) {
      notice.notice_id = fuzz.Int();
      notice.start_time = fuzz.Int();
      notice.notice_text_obj.notice_content = fuzz.Text();
      notice.notice_pic_list.resize(input.ConsumeIntegralInRange<int>(0, 3));
      for (Velo::VeloNoticePicInfo &picture : notice.notice_pic_list) {
        picture.pic_title = fuzz.Text();
        picture.pic_dir = fuzz.Int();
      }
      notice.extra_data = fuzz.Text();
    }
    Velo::StandIn::FireNoticeResult(ret);
    Require(g_deliveries == 1, "one delivery");
    CheckEnvelope(json, ret);
    const nlohmann::json &list = json.at("notice_list");
    Require(list.size() == ret.notice_list.size(), "notice count");
    for (std::size_t n = 0; n < list.size(); ++n) {
      const Velo::VeloNoticeInfo &notice = ret.notice_list[n];
      Require(list[n].at("notice_id") == notice.notice_id, "notice_id");
      Require(list[n].at("start_time") == notice.start_time, "start_time");
      Require(list[n].at("notice_text_obj").at("notice_content") ==
                  Member(notice.notice_text_obj.notice_content),
              "notice_content");
      Require(list[n].at("extra_data") == Member(notice.extra_data),
              "extra_data");
      const nlohmann::json &pictures = list[n].at("notice_pic_list");
      Require(pictures.size() == notice.notice_pic_list.size(),
              "picture count");
      for (std::size_t p = 0; p < pictures.size(); ++p) {
        Require(pictures[p].at("pic_title") ==
                    Member(notice.notice_pic_list[p].pic_title),
                "pic_title");
        Require(pictures[p].at("pic_dir") == notice.notice_pic_list[p].pic_dir,
                "pic_dir");
      }
    }
    break;
  }
  default: {
    Velo::VeloWebViewRet ret;
    fuzz.Base(ret);
    ret.msgType = fuzz.Int();
    ret.msgJsonData = fuzz.Text();
    ret.embedProgress = fuzz.Float();
    ret.embedUrl = fuzz.Text();
    Velo::StandIn::FireWebViewResult(ret);
    Require(g_deliveries == 1, "one delivery");
    CheckEnvelope(json, ret);
    Require(json.size() == 10, "10 members");
    Require(json.at("msgJsonData") == Member(ret.msgJsonData), "msgJsonData");
    const nlohmann::json &progress = json.at("embedProgress");
    if (std::isfinite(ret.embedProgress)) {
      Require(progress.is_number_float() &&
                  progress.get<double>() ==
                      static_cast<double>(ret.embedProgress),
              "embedProgress reads back as the same value");
    } else {
      Require(progress.is_null(), "a non-finite embedProgress is null");
    }
    break;
  }
  }
  return 0;
}
