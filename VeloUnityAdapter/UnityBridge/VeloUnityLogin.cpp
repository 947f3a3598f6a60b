// Login facade: request exports, the login observer and its installer, the login snapshot.
#include "BoundaryGuard.h"
#include "JsonResultWriter.h"
#include "Marshal.h"
#include "ResultDelivery.h"
#include "VeloCore.h"
#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

// The eighteen login members, shared by the login result and the login snapshot.
void WriteLoginMembers(JsonResultWriter& json, const VeloLoginRet& ret) {
    json.AddString("openid", ret.openid)
        .AddString("token", ret.token)
        .AddInt64("token_expire_time", ret.token_expire_time)
        .AddInt("first", ret.first)
        .AddString("reg_channel_dis", ret.reg_channel_dis)
        .AddString("user_name", ret.user_name)
        .AddInt("gender", ret.gender)
        .AddString("birthdate", ret.birthdate)
        .AddString("picture_url", ret.picture_url)
        .AddString("pf", ret.pf)
        .AddString("pfKey", ret.pfKey)
        .AddBool("need_name_auth", ret.need_name_auth)
        .AddInt("channelid", ret.channelid)
        .AddString("channel", ret.channel)
        .AddString("channel_info", ret.channel_info)
        .AddString("confirm_code", ret.confirm_code)
        .AddInt64("confirm_code_expire_time", ret.confirm_code_expire_time)
        .AddString("bind_list", ret.bind_list);
}

}  // namespace

class UnityLoginObserver : public VeloLoginObserver {
  public:
    void OnLoginResult(const VeloLoginRet& ret) override {
        DeliverResult(ret, [&](JsonResultWriter& json) { WriteLoginMembers(json, ret); });
    }

    void OnBaseResult(const VeloBaseRet& ret) override {
        DeliverResult(ret, [](JsonResultWriter&) {});
    }

    void OnQrCodeResult(const VeloQrCodeRet& ret) override {
        DeliverResult(ret, Envelope::WithoutExtraJson, [&](JsonResultWriter& json) {
            json.AddInt("channelID", ret.channelID)
                .AddString("channel", ret.channel)
                .AddString("qrCodeUrl", ret.qrCodeUrl);
        });
    }
};

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

using Corvan::Velo::VeloLogin;
using Corvan::Velo::VeloLoginRet;
using Corvan::Velo::Bridge::Guarded;
using Corvan::Velo::Bridge::Text;

extern "C" {

VELO_ADAPTER_API void setLoginObserverAdapter(void) {
    Guarded([] { VeloLogin::SetLoginObserver(new Corvan::Velo::Bridge::UnityLoginObserver()); });
}

VELO_ADAPTER_API void loginAdapter(const char* a, const char* b, const char* c, const char* d) {
    Guarded([&] { VeloLogin::Login(Text(a), Text(b), Text(c), Text(d)); });
}

VELO_ADAPTER_API void autoLoginAdapter(void) {
    Guarded([] { VeloLogin::AutoLogin(); });
}

VELO_ADAPTER_API void logoutAdapter(const char* a, const char* b, bool flag) {
    Guarded([&] { VeloLogin::Logout(Text(a), Text(b), flag); });
}

VELO_ADAPTER_API void bindAdapter(const char* a, const char* b, const char* c, const char* d) {
    Guarded([&] { VeloLogin::Bind(Text(a), Text(b), Text(c), Text(d)); });
}

VELO_ADAPTER_API void canBindAdapter(const char* a, const char* b, const char* c) {
    Guarded([&] { VeloLogin::CanBind(Text(a), Text(b), Text(c)); });
}

VELO_ADAPTER_API void loginWithConfirmcodeAdapter(int code, const char* a, const char* b) {
    Guarded([&] { VeloLogin::LoginWithConfirmCode(code, Text(a), Text(b)); });
}

VELO_ADAPTER_API void preLoadParleyLibraryAdapter(void) {
    Guarded([] { VeloLogin::PreLoadParleyLibrary(); });
}

VELO_ADAPTER_API void setInstallChannelAdapter(const char* channel) {
    Guarded([&] { VeloLogin::SetInstallChannel(Text(channel)); });
}

VELO_ADAPTER_API void onRealNameAuthFinishedAdapter(const char* a, const char* b, const char* c,
                                                    bool flag) {
    Guarded([&] { VeloLogin::OnRealNameAuthFinished(Text(a), Text(b), Text(c), flag); });
}

VELO_ADAPTER_API void unInstallAdapter(void) {
    Guarded([] { VeloLogin::UnInstall(); });
}

VELO_ADAPTER_API char* getLoginRetAdapter(void) {
    return Guarded<char*>(nullptr, [] {
        VeloLoginRet ret;
        VeloLogin::GetLoginRet(ret);  // whatever it reports, the record is written as it stands
        Corvan::Velo::Bridge::JsonResultWriter json;
        Corvan::Velo::Bridge::WriteLoginMembers(json, ret);
        const char* text = json.Finish();
        return Corvan::Velo::Bridge::ReturnedText(text, json.Size());
    });
}

}  // extern "C"
