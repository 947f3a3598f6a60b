// Notice facade: loading notices, the notice observer and its installer.
//
// A notice result nests objects and arrays. Each nested value is written by a writer of its own
// and spliced into its parent as a finished text, which the parent checks by parsing it.
#include <utility>

#include "BoundaryGuard.h"
#include "Marshal.h"
#include "ResultDelivery.h"
#include "VeloCore.h"
#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

void WriteTextPart(JsonResultWriter& json, const VeloNoticeTextInfo& text) {
    json.AddString("notice_title", text.notice_title)
        .AddString("notice_content", text.notice_content)
        .AddString("notice_redirect_url", text.notice_redirect_url);
}

void WritePicture(JsonResultWriter& json, const VeloNoticePicInfo& picture) {
    json.AddString("pic_url", picture.pic_url)
        .AddString("pic_hash", picture.pic_hash)
        .AddString("pic_title", picture.pic_title)
        .AddString("pic_size", picture.pic_size)
        .AddInt("pic_dir", picture.pic_dir);
}

void WriteNotice(JsonResultWriter& json, const VeloNoticeInfo& notice) {
    JsonResultWriter textPart;
    WriteTextPart(textPart, notice.notice_text_obj);

    JsonResultWriter pictures(rapidjson::kArrayType);
    for (const VeloNoticePicInfo& picture : notice.notice_pic_list) {
        JsonResultWriter pictureJson;
        WritePicture(pictureJson, picture);
        pictures.AddRawJson(nullptr, std::move(pictureJson), rapidjson::kObjectType);
    }

    json.AddInt("notice_id", notice.notice_id)
        .AddInt("notice_type", notice.notice_type)
        .AddString("notice_group", notice.notice_group)
        .AddInt("start_time", notice.start_time)
        .AddInt("end_time", notice.end_time)
        .AddInt("update_time", notice.update_time)
        .AddInt("order", notice.order)
        .AddInt("content_type", notice.content_type)
        .AddString("language", notice.language)
        .AddRawJson("notice_text_obj", std::move(textPart), rapidjson::kObjectType)
        .AddRawJson("notice_pic_list", std::move(pictures), rapidjson::kArrayType)
        .AddString("notice_web_url", notice.notice_web_url)
        .AddString("extra_data", notice.extra_data);
}

}  // namespace

class UnityNoticeObserver : public VeloNoticeObserver {
  public:
    void OnNoticeResult(const VeloNoticeRet& ret) override {
        DeliverResult(ret, [&](JsonResultWriter& json) {
            JsonResultWriter list(rapidjson::kArrayType);
            for (const VeloNoticeInfo& notice : ret.notice_list) {
                JsonResultWriter noticeJson;
                WriteNotice(noticeJson, notice);
                list.AddRawJson(nullptr, std::move(noticeJson), rapidjson::kObjectType);
            }
            json.AddRawJson("notice_list", std::move(list), rapidjson::kArrayType);
        });
    }
};

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

using Corvan::Velo::VeloNotice;
using Corvan::Velo::Bridge::Guarded;
using Corvan::Velo::Bridge::ReturnedText;
using Corvan::Velo::Bridge::Text;

extern "C" {

VELO_ADAPTER_API void setNoticeObserverAdapter(void) {
    Guarded([] { VeloNotice::SetNoticeObserver(new Corvan::Velo::Bridge::UnityNoticeObserver()); });
}

VELO_ADAPTER_API char* loadNoticeDataAdapter(const char* s1, const char* s2, int i3, const char* s4,
                                             const char* s5) {
    return Guarded<char*>(nullptr, [&] {
        return ReturnedText(VeloNotice::LoadNoticeData(Text(s1), Text(s2), i3, Text(s4), Text(s5)));
    });
}

}  // extern "C"
