#include "RecordReaders.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "VeloStandIn.h"

namespace Corvan {
namespace Velo {
namespace StandIn {

std::string Describe(const Json& value) {
    switch (value.GetType()) {
        case rapidjson::kNullType:
            return "null";
        case rapidjson::kFalseType:
            return "false";
        case rapidjson::kTrueType:
            return "true";
        case rapidjson::kObjectType:
            return "an object";
        case rapidjson::kArrayType:
            return "a list";
        case rapidjson::kStringType:
            return "a text";
        case rapidjson::kNumberType:
            break;
    }
    if (value.IsInt64()) {
        return "the number " + std::to_string(value.GetInt64());
    }
    return value.IsUint64() ? "the number " + std::to_string(value.GetUint64())
                            : "a number with a fraction or exponent";
}

JsonMembers::JsonMembers(const Json& object, bool strict) : object_(object), strict_(strict) {
    if (!object.IsObject()) {
        throw MemberRefused(object, "expected an object, found " + Describe(object));
    }
    if (strict) {
        found_.assign(object.MemberCount(), false);
    }
}

const Json* JsonMembers::Find(const char* key) const {
    const auto member = object_.FindMember(key);
    if (member == object_.MemberEnd()) {
        return nullptr;
    }
    if (strict_) {
        found_[static_cast<std::size_t>(member - object_.MemberBegin())] = true;
    }
    return &member->value;
}

bool JsonMembers::Takes(const Json& value, const char* key, bool ok, const char* expected) const {
    if (!ok && strict_) {
        throw MemberRefused(value, std::string("\"") + key + "\": expected " + expected +
                                       ", found " + Describe(value));
    }
    return ok;
}

void JsonMembers::Finish() const {
    for (std::size_t i = 0; i < found_.size(); ++i) {
        if (!found_[i]) {
            const Json& name = object_.MemberBegin()[static_cast<std::ptrdiff_t>(i)].name;
            throw MemberRefused(name, "\"" + std::string(name.GetString(), name.GetStringLength()) +
                                          "\" is not a member here");
        }
    }
}

namespace {

void Read(const JsonMembers& json, const char* key, std::string& out) {
    const Json* member = json.Find(key);
    if (member != nullptr && json.Takes(*member, key, member->IsString(), "a text")) {
        out.assign(member->GetString(), member->GetStringLength());
    }
}

template <class Number>
constexpr const char* kExpected = "";
template <>
constexpr const char* kExpected<int> = "a whole number from -2147483648 to 2147483647";
template <>
constexpr const char* kExpected<std::int64_t> = "a whole number of at most 64 bits";
template <>
constexpr const char* kExpected<bool> = "true or false";

// int, int64 and bool members: taken when the JSON value holds that type.
template <class Number>
void Read(const JsonMembers& json, const char* key, Number& out) {
    const Json* member = json.Find(key);
    if (member != nullptr && json.Takes(*member, key, member->Is<Number>(), kExpected<Number>)) {
        out = member->Get<Number>();
    }
}

// A number beyond the float's range becomes an infinity of its sign, as the conversion of an
// out-of-range double is undefined; null is NaN.
void Read(const JsonMembers& json, const char* key, float& out) {
    const Json* member = json.Find(key);
    if (member == nullptr ||
        !json.Takes(*member, key, member->IsNumber() || member->IsNull(), "a number or null")) {
        return;
    }
    if (member->IsNull()) {
        out = std::numeric_limits<float>::quiet_NaN();
        return;
    }
    const double value = member->GetDouble();
    out = std::fabs(value) <= FLT_MAX
              ? static_cast<float>(value)
              : std::copysign(std::numeric_limits<float>::infinity(), value);
}

// A nested object's members, read by `read`.
template <class Part, class ReadPart>
void ReadObject(bool strict, const Json& object, Part& out, ReadPart read) {
    const JsonMembers part(object, strict);
    read(part, out);
    part.Finish();
}

template <class Item, class ReadItem>
void ReadList(const JsonMembers& json, const char* key, std::vector<Item>& out, ReadItem readItem) {
    const Json* member = json.Find(key);
    if (member == nullptr || !json.Takes(*member, key, member->IsArray(), "a list")) {
        return;
    }
    for (const Json& element : member->GetArray()) {
        Item item;
        if (json.Takes(element, key, element.IsObject(), "a list of objects")) {
            ReadObject(json.strict(), element, item, readItem);
        }
        out.push_back(item);
    }
}

void ReadPicture(const JsonMembers& json, VeloNoticePicInfo& picture) {
    Read(json, "pic_url", picture.pic_url);
    Read(json, "pic_hash", picture.pic_hash);
    Read(json, "pic_title", picture.pic_title);
    Read(json, "pic_size", picture.pic_size);
    Read(json, "pic_dir", picture.pic_dir);
}

void ReadNoticeText(const JsonMembers& json, VeloNoticeTextInfo& text) {
    Read(json, "notice_title", text.notice_title);
    Read(json, "notice_content", text.notice_content);
    Read(json, "notice_redirect_url", text.notice_redirect_url);
}

void ReadNotice(const JsonMembers& json, VeloNoticeInfo& notice) {
    Read(json, "notice_id", notice.notice_id);
    Read(json, "notice_type", notice.notice_type);
    Read(json, "notice_group", notice.notice_group);
    Read(json, "start_time", notice.start_time);
    Read(json, "end_time", notice.end_time);
    Read(json, "update_time", notice.update_time);
    Read(json, "order", notice.order);
    Read(json, "content_type", notice.content_type);
    Read(json, "language", notice.language);
    const Json* text = json.Find("notice_text_obj");
    if (text != nullptr && json.Takes(*text, "notice_text_obj", text->IsObject(), "an object")) {
        ReadObject(json.strict(), *text, notice.notice_text_obj, ReadNoticeText);
    }
    ReadList(json, "notice_pic_list", notice.notice_pic_list, ReadPicture);
    Read(json, "notice_web_url", notice.notice_web_url);
    Read(json, "extra_data", notice.extra_data);
}

}  // namespace

void ReadBase(const JsonMembers& json, VeloBaseRet& ret) {
    Read(json, "methodNameID", ret.methodNameID);
    Read(json, "retCode", ret.retCode);
    Read(json, "retMsg", ret.retMsg);
    Read(json, "ret", ret.ret);
    Read(json, "msg", ret.msg);
    Read(json, "extraJson", ret.extraJson);
}

void ReadLogin(const JsonMembers& json, VeloLoginRet& ret) {
    ReadBase(json, ret);
    Read(json, "openid", ret.openid);
    Read(json, "token", ret.token);
    Read(json, "token_expire_time", ret.token_expire_time);
    Read(json, "first", ret.first);
    Read(json, "reg_channel_dis", ret.reg_channel_dis);
    Read(json, "user_name", ret.user_name);
    Read(json, "gender", ret.gender);
    Read(json, "birthdate", ret.birthdate);
    Read(json, "picture_url", ret.picture_url);
    Read(json, "pf", ret.pf);
    Read(json, "pfKey", ret.pfKey);
    Read(json, "need_name_auth", ret.need_name_auth);
    Read(json, "channelid", ret.channelid);
    Read(json, "channel", ret.channel);
    Read(json, "channel_info", ret.channel_info);
    Read(json, "confirm_code", ret.confirm_code);
    Read(json, "confirm_code_expire_time", ret.confirm_code_expire_time);
    Read(json, "bind_list", ret.bind_list);
}

void ReadQrCode(const JsonMembers& json, VeloQrCodeRet& ret) {
    ReadBase(json, ret);
    Read(json, "channelID", ret.channelID);
    Read(json, "channel", ret.channel);
    Read(json, "qrCodeUrl", ret.qrCodeUrl);
}

void ReadAccount(const JsonMembers& json, VeloAccountRet& ret) {
    ReadBase(json, ret);
    Read(json, "channelID", ret.channelID);
    Read(json, "channel", ret.channel);
    Read(json, "seq", ret.seq);
    Read(json, "user_name", ret.user_name);
    Read(json, "uid", ret.uid);
    Read(json, "token", ret.token);
    Read(json, "expiretime", ret.expiretime);
    Read(json, "is_register", ret.is_register);
    Read(json, "isset_pwd", ret.isset_pwd);
    Read(json, "is_receive_email", ret.is_receive_email);
    Read(json, "expire_time", ret.expire_time);
}

void ReadNoticeResult(const JsonMembers& json, VeloNoticeRet& ret) {
    ReadBase(json, ret);
    ReadList(json, "notice_list", ret.notice_list, ReadNotice);
}

void ReadWebView(const JsonMembers& json, VeloWebViewRet& ret) {
    ReadBase(json, ret);
    Read(json, "msgType", ret.msgType);
    Read(json, "msgJsonData", ret.msgJsonData);
    Read(json, "embedProgress", ret.embedProgress);
    Read(json, "embedUrl", ret.embedUrl);
}

namespace {

const char* const kKindNames[] = {"login", "base", "qrcode", "account", "notice", "webview"};

template <class Record, class ReadRecord>
ResultRecord ReadAs(const Json& object, bool strict, ReadRecord read) {
    Record record;
    ReadObject(strict, object, record, read);
    return record;
}

struct Firing {
    bool operator()(const VeloLoginRet& ret) const { return FireLoginResult(ret); }
    bool operator()(const VeloBaseRet& ret) const { return FireBaseResult(ret); }
    bool operator()(const VeloQrCodeRet& ret) const { return FireQrCodeResult(ret); }
    bool operator()(const VeloAccountRet& ret) const { return FireAccountResult(ret); }
    bool operator()(const VeloNoticeRet& ret) const { return FireNoticeResult(ret); }
    bool operator()(const VeloWebViewRet& ret) const { return FireWebViewResult(ret); }
};

}  // namespace

ResultKind ResultKindNamed(const std::string& name) {
    for (std::size_t kind = 0; kind < std::size(kKindNames); ++kind) {
        if (name == kKindNames[kind]) {
            return static_cast<ResultKind>(kind);
        }
    }
    throw std::invalid_argument("unknown kind of result '" + name +
                                "' (login, base, qrcode, account, notice or webview)");
}

ResultRecord ReadResult(ResultKind kind, const Json& object, bool strict) {
    switch (kind) {
        case ResultKind::Login:
            return ReadAs<VeloLoginRet>(object, strict, ReadLogin);
        case ResultKind::Base:
            return ReadAs<VeloBaseRet>(object, strict, ReadBase);
        case ResultKind::QrCode:
            return ReadAs<VeloQrCodeRet>(object, strict, ReadQrCode);
        case ResultKind::Account:
            return ReadAs<VeloAccountRet>(object, strict, ReadAccount);
        case ResultKind::Notice:
            return ReadAs<VeloNoticeRet>(object, strict, ReadNoticeResult);
        case ResultKind::WebView:
            break;
    }
    return ReadAs<VeloWebViewRet>(object, strict, ReadWebView);
}

const VeloBaseRet& EnvelopeOf(const ResultRecord& record) {
    return std::visit([](const VeloBaseRet& ret) -> const VeloBaseRet& { return ret; }, record);
}

bool FireResult(const ResultRecord& record) {
    return std::visit(Firing{}, record);
}

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
