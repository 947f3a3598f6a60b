// The core library's facades. Every operation is static; text arguments are Strings that the
// caller owns and frees once the operation returns, so the core copies whatever it keeps.
#pragma once

#include <string>

#include "VeloCoreApi.h"
#include "VeloObservers.h"
#include "VeloResults.h"
#include "VeloString.h"

namespace Corvan {
namespace Velo {

class VELO_CORE_API VeloLogin {
  public:
    static void SetLoginObserver(VeloLoginObserver* observer);
    static void Login(const String& a, const String& b, const String& c, const String& d);
    static void AutoLogin();
    static void Logout(const String& a, const String& b, bool flag);
    static void Bind(const String& a, const String& b, const String& c, const String& d);
    static void CanBind(const String& a, const String& b, const String& c);
    static void LoginWithConfirmCode(int code, const String& a, const String& b);
    static void PreLoadParleyLibrary();
    static void SetInstallChannel(const String& channel);
    static void OnRealNameAuthFinished(const String& a, const String& b, const String& c,
                                       bool flag);
    static void UnInstall();
    static bool GetLoginRet(VeloLoginRet& ret);
};

class VELO_CORE_API VeloAccount {
  public:
    static void SetAccountObserver(VeloAccountObserver* observer);
    static void RequestVerifyCode(const String& s1, const String& s2, int i3, int i4,
                                  const String& s5, const String& s6, const String& s7);
    static void ResetPassword(const String& s1, int i2, const String& s3, const String& s4,
                              const String& s5, int i6, int i7, const String& s8, const String& s9,
                              const String& s10);
    static void Modify(const String& s1, int i2, const String& s3, int i4, int i5, int i6,
                       const String& s7, const String& s8, int i9, const String& s10,
                       const String& s11, const String& s12, const String& s13);
    static void GetRegisterStatus(const String& s1, const String& s2, int i3, const String& s4,
                                  const String& s5, const String& s6);
    static void GetVerifyCodeStatus(const String& s1, const String& s2, int i3, int i4, int i5,
                                    const String& s6, const String& s7, const String& s8);
    static void GetReceiveEmail(const String& s1, const String& s2, int i3, const String& s4,
                                const String& s5, const String& s6);
    static void VerifyPassword(const String& s1, const String& s2, const String& s3, int i4,
                               const String& s5, const String& s6, const String& s7);
};

class VELO_CORE_API VeloNotice {
  public:
    static void SetNoticeObserver(VeloNoticeObserver* observer);
    static std::string LoadNoticeData(const String& s1, const String& s2, int i3, const String& s4,
                                      const String& s5);
};

class VELO_CORE_API VeloWebView {
  public:
    static void SetWebViewObserver(VeloWebViewObserver* observer);
    static void OpenUrl(const String& url, int i2, bool b3, bool b4, const String& s5, bool b6);
    static std::string GetEncodeUrl(const String& url);
    static void CallJS(const String& script);
    static void OpenOxaCenter(const String& s1, const String& s2, const String& s3,
                              const String& s4, const String& s5, const String& s6, int i7,
                              const String& s8);
    static void OpenDeleteAccountUrl(const String& s1, int i2, bool b3, const String& s4);
    static void Close();
};

class VELO_CORE_API VeloTools {
  public:
    static void SetLanguage(const char* language);
    static void SetRegion(const char* a, const char* b, const char* c);
};

enum VeloLogLevel {
    VeloLogLevel_Debug = 0,
    VeloLogLevel_Info = 1,
    VeloLogLevel_Warning = 2,
    VeloLogLevel_Error = 3,
};

class VELO_CORE_API VeloLog {
  public:
    static VeloLog* GetInstance();
    void PrintLog(VeloLogLevel level, char* file, char* function, int line, char* format, ...);
};

}  // namespace Velo
}  // namespace Corvan
