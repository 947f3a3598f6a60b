// Result records read from JSON objects whose keys are the records' members, as the adapter
// writes them: the results fired by hand and the answers of scenario files.
#pragma once

#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include <rapidjson/document.h>

#include "VeloCore.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

using Json = rapidjson::Value;

// A value a read refused, and why: a member of the wrong type, a member the record does not have
// (`at` is then its name), or a record that is no object.
struct MemberRefused : std::runtime_error {
    MemberRefused(const Json& value, const std::string& reason)
        : std::runtime_error(reason), at(&value) {}
    const Json* at;
};

// What a value is, for messages: "a text", "a list", "the number 1.5", ...
std::string Describe(const Json& value);

// A JSON object's members as a reader takes them. Lenient, as results fired by hand are read:
// members left out or of another type keep their defaults. Strict, as scenario files are read: a
// member of another type, or one the reader does not ask for, is refused. Either way a value
// that is no object is refused.
class JsonMembers {
  public:
    // Implicit, so that a document reads leniently where a JsonMembers is asked for.
    JsonMembers(const Json& object, bool strict = false);

    // The member `key`, or null when it is absent.
    const Json* Find(const char* key) const;
    // Whether `value`, the member `key`, is taken: `ok`. Strict, a value that is not ok is
    // refused as not being `expected`.
    bool Takes(const Json& value, const char* key, bool ok, const char* expected) const;
    // Strict: refuses the first member that no Find asked for.
    void Finish() const;
    bool strict() const { return strict_; }

  private:
    const Json& object_;
    bool strict_;
    mutable std::vector<bool> found_;
};

void ReadBase(const JsonMembers& json, VeloBaseRet& ret);
void ReadLogin(const JsonMembers& json, VeloLoginRet& ret);
void ReadQrCode(const JsonMembers& json, VeloQrCodeRet& ret);
void ReadAccount(const JsonMembers& json, VeloAccountRet& ret);
void ReadNoticeResult(const JsonMembers& json, VeloNoticeRet& ret);
void ReadWebView(const JsonMembers& json, VeloWebViewRet& ret);

// The kinds of result, in the order of ResultRecord's alternatives.
enum class ResultKind { Login, Base, QrCode, Account, Notice, WebView };
using ResultRecord = std::variant<VeloLoginRet, VeloBaseRet, VeloQrCodeRet, VeloAccountRet,
                                  VeloNoticeRet, VeloWebViewRet>;

// The kind named `name`: "login", "base", "qrcode", "account", "notice" or "webview"; any other
// name throws std::invalid_argument, which lists them.
ResultKind ResultKindNamed(const std::string& name);
// Reads `object` as a record of `kind`, strictly or leniently.
ResultRecord ReadResult(ResultKind kind, const Json& object, bool strict);
// The members every record begins with.
const VeloBaseRet& EnvelopeOf(const ResultRecord& record);
// Fires `record` through the installed observer of its kind, on this thread; false when none is
// installed.
bool FireResult(const ResultRecord& record);

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
