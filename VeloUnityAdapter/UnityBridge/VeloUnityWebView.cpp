// Web view facade: request exports, the web view observer and its installer.
#include <cstring>

#include "BoundaryGuard.h"
#include "Marshal.h"
#include "ResultDelivery.h"
#include "VeloCore.h"
#include "VeloUnityAdapter.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

namespace {

// The installer's log line names this file: with a Windows path only the file's own name.
const char* SourceFileName() {
    const char* path = __FILE__;
    const char* lastBackslash = std::strrchr(path, '\\');
    return lastBackslash != nullptr ? lastBackslash + 1 : path;
}

}  // namespace

class UnityWebViewObserver : public VeloWebViewObserver {
  public:
    void OnWebViewResult(const VeloWebViewRet& ret) override {
        DeliverResult(ret, [&](JsonResultWriter& json) {
            json.AddInt("msgType", ret.msgType)
                .AddString("msgJsonData", ret.msgJsonData)
                .AddDouble("embedProgress", static_cast<double>(ret.embedProgress))
                .AddString("embedUrl", ret.embedUrl);
        });
    }
};

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan

using Corvan::Velo::VeloWebView;
using Corvan::Velo::Bridge::Guarded;
using Corvan::Velo::Bridge::ReturnedText;
using Corvan::Velo::Bridge::Text;

extern "C" {

VELO_ADAPTER_API void setWebViewObserverAdapter(void) {
    Guarded([] {
        VeloWebView::SetWebViewObserver(new Corvan::Velo::Bridge::UnityWebViewObserver());
        Corvan::Velo::VeloLog::GetInstance()->PrintLog(
            Corvan::Velo::VeloLogLevel_Debug,
            const_cast<char*>(Corvan::Velo::Bridge::SourceFileName()),
            const_cast<char*>("setWebViewObserverAdapter"), 35,
            const_cast<char*>("setWebViewObserver"));
    });
}

VELO_ADAPTER_API void openUrlAdapter(const char* url, int i2, bool b3, bool b4, const char* s5,
                                     bool b6) {
    Guarded([&] { VeloWebView::OpenUrl(Text(url), i2, b3, b4, Text(s5), b6); });
}

VELO_ADAPTER_API char* getEncodeUrlAdapter(const char* url) {
    return Guarded<char*>(nullptr,
                          [&] { return ReturnedText(VeloWebView::GetEncodeUrl(Text(url))); });
}

VELO_ADAPTER_API void callJSAdapter(const char* script) {
    Guarded([&] { VeloWebView::CallJS(Text(script)); });
}

VELO_ADAPTER_API void openOxaCenterAdapter(const char* s1, const char* s2, const char* s3,
                                           const char* s4, const char* s5, const char* s6, int i7,
                                           const char* s8) {
    Guarded([&] {
        VeloWebView::OpenOxaCenter(Text(s1), Text(s2), Text(s3), Text(s4), Text(s5), Text(s6), i7,
                                   Text(s8));
    });
}

VELO_ADAPTER_API void openDeleteAccountUrlAdapter(const char* s1, int i2, bool b3, const char* s4) {
    Guarded([&] { VeloWebView::OpenDeleteAccountUrl(Text(s1), i2, b3, Text(s4)); });
}

VELO_ADAPTER_API void closeAdapter(void) {
    Guarded([] { VeloWebView::Close(); });
}

}  // extern "C"
