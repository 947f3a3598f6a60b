// Account facade: request exports, the account observer and its installer.
#include "BoundaryGuard.h"
#include "Marshal.h"
#include "ResultDelivery.h"
#include "VeloCore.h"
#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

class UnityAccountObserver : public VeloAccountObserver {
  public:
    void OnAccountResult(const VeloAccountRet& ret) override {
        DeliverResult(ret, [&](JsonResultWriter& json) {
            json.AddInt("channelID", ret.channelID)
                .AddString("channel", ret.channel)
                .AddString("seq", ret.seq)
                .AddString("user_name", ret.user_name)
                .AddString("uid", ret.uid)
                .AddString("token", ret.token)
                .AddString("expiretime", ret.expiretime)
                .AddInt("expire_time", ret.expire_time)
                .AddInt("is_register", ret.is_register)
                .AddInt("isset_pwd", ret.isset_pwd)
                .AddInt("is_receive_email", ret.is_receive_email);
        });
    }
};

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

using Corvan::Velo::VeloAccount;
using Corvan::Velo::Bridge::Guarded;
using Corvan::Velo::Bridge::Text;

extern "C" {

VELO_ADAPTER_API void setAccountObserverAdapter(void) {
    Guarded(
        [] { VeloAccount::SetAccountObserver(new Corvan::Velo::Bridge::UnityAccountObserver()); });
}

VELO_ADAPTER_API void requestVerifyCodeAdapter(const char* s1, const char* s2, int i3, int i4,
                                               const char* s5, const char* s6, const char* s7) {
    Guarded([&] {
        VeloAccount::RequestVerifyCode(Text(s1), Text(s2), i3, i4, Text(s5), Text(s6), Text(s7));
    });
}

VELO_ADAPTER_API void resetPasswordAdapter(const char* s1, int i2, const char* s3, const char* s4,
                                           const char* s5, int i6, int i7, const char* s8,
                                           const char* s9, const char* s10) {
    Guarded([&] {
        VeloAccount::ResetPassword(Text(s1), i2, Text(s3), Text(s4), Text(s5), i6, i7, Text(s8),
                                   Text(s9), Text(s10));
    });
}

VELO_ADAPTER_API void modifyAdapter(const char* s1, int i2, const char* s3, int i4, int i5, int i6,
                                    const char* s7, const char* s8, int i9, const char* s10,
                                    const char* s11, const char* s12, const char* s13) {
    Guarded([&] {
        VeloAccount::Modify(Text(s1), i2, Text(s3), i4, i5, i6, Text(s7), Text(s8), i9, Text(s10),
                            Text(s11), Text(s12), Text(s13));
    });
}

VELO_ADAPTER_API void getRegisterStatusAdapter(const char* s1, const char* s2, int i3,
                                               const char* s4, const char* s5, const char* s6) {
    Guarded([&] {
        VeloAccount::GetRegisterStatus(Text(s1), Text(s2), i3, Text(s4), Text(s5), Text(s6));
    });
}

VELO_ADAPTER_API void getVerifyCodeStatusAdapter(const char* s1, const char* s2, int i3, int i4,
                                                 int i5, const char* s6, const char* s7,
                                                 const char* s8) {
    Guarded([&] {
        VeloAccount::GetVerifyCodeStatus(Text(s1), Text(s2), i3, i4, i5, Text(s6), Text(s7),
                                         Text(s8));
    });
}

VELO_ADAPTER_API void getReceiveEmailAdapter(const char* s1, const char* s2, int i3, const char* s4,
                                             const char* s5, const char* s6) {
    Guarded([&] {
        VeloAccount::GetReceiveEmail(Text(s1), Text(s2), i3, Text(s4), Text(s5), Text(s6));
    });
}

VELO_ADAPTER_API void verifyPasswordAdapter(const char* s1, const char* s2, const char* s3, int i4,
                                            const char* s5, const char* s6, const char* s7) {
    Guarded([&] {
        VeloAccount::VerifyPassword(Text(s1), Text(s2), Text(s3), i4, Text(s5), Text(s6), Text(s7));
    });
}

}  // extern "C"
