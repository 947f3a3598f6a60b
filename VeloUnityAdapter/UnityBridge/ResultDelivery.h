// The course of every observer handler: write the result envelope and the record's own members
// into a fresh writer, then hand the text to the registered callback.
#pragma once

#include "BoundaryGuard.h"
#include "JsonResultWriter.h"
#include "UnityCallback.h"
#include "VeloResults.h"

namespace Corvan {
namespace Velo {
namespace Bridge {

enum class Envelope {
    Full,              // all six base members
    WithoutExtraJson,  // the QR code result stops after "msg"
};

inline void WriteEnvelope(JsonResultWriter& json, const VeloBaseRet& ret,
                          Envelope envelope = Envelope::Full) {
    json.AddInt("methodNameID", ret.methodNameID)
        .AddInt("retCode", ret.retCode)
        .AddString("retMsg", ret.retMsg)
        .AddInt("ret", ret.ret)
        .AddString("msg", ret.msg);
    if (envelope == Envelope::Full) {
        json.AddString("extraJson", ret.extraJson);
    }
}

// Writes the envelope, then `members(json)`, and delivers the text under the record's method
// number. A result that cannot be written whole (memory ran out) is not delivered at all.
template <class Members>
void DeliverResult(const VeloBaseRet& ret, Envelope envelope, Members&& members) noexcept {
    Guarded([&] {
        JsonResultWriter json;
        WriteEnvelope(json, ret, envelope);
        members(json);
        Dispatch(ret.methodNameID, json.Finish());
    });
}

template <class Members>
void DeliverResult(const VeloBaseRet& ret, Members&& members) noexcept {
    DeliverResult(ret, Envelope::Full, std::forward<Members>(members));
}

}  // namespace Bridge
}  // namespace Velo
}  // namespace Corvan
