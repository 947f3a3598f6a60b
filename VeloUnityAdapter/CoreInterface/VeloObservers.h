// Observer interfaces through which the core library reports results. The core calls a handler on
// a thread of its choosing with a record that is valid for the duration of the call.
#pragma once

#include "VeloResults.h"

namespace Corvan {
namespace Velo {

class VeloLoginObserver {
  public:
    virtual ~VeloLoginObserver() {}
    virtual void OnLoginResult(const VeloLoginRet& /*ret*/) {}
    virtual void OnBaseResult(const VeloBaseRet& /*ret*/) {}
    virtual void OnQrCodeResult(const VeloQrCodeRet& /*ret*/) {}
};

class VeloAccountObserver {
  public:
    virtual ~VeloAccountObserver() {}
    virtual void OnAccountResult(const VeloAccountRet& /*ret*/) {}
};

class VeloNoticeObserver {
  public:
    virtual ~VeloNoticeObserver() {}
    virtual void OnNoticeResult(const VeloNoticeRet& /*ret*/) {}
};

class VeloWebViewObserver {
  public:
    virtual ~VeloWebViewObserver() {}
    virtual void OnWebViewResult(const VeloWebViewRet& /*ret*/) {}
};

}  // namespace Velo
}  // namespace Corvan
