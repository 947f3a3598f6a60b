// Result records that the core library hands to its observers. Every record begins with the
// members of VeloBaseRet; members are named after the JSON keys the adapter writes them under.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Corvan {
namespace Velo {

struct VeloBaseRet {
    int methodNameID = 0;
    int retCode = -1;
    std::string retMsg;
    int ret = -1;
    std::string msg;
    std::string extraJson;
};

struct VeloLoginRet : VeloBaseRet {
    std::string openid;
    std::string token;
    std::int64_t token_expire_time = 0;
    int first = 0;
    std::string reg_channel_dis;
    std::string user_name;
    int gender = 0;
    std::string birthdate;
    std::string picture_url;
    std::string pf;
    std::string pfKey;
    bool need_name_auth = false;
    int channelid = 0;
    std::string channel;
    std::string channel_info;
    std::string confirm_code;
    std::int64_t confirm_code_expire_time = 0;
    std::string bind_list;
};

struct VeloQrCodeRet : VeloBaseRet {
    int channelID = 0;
    std::string channel;
    std::string qrCodeUrl;
};

struct VeloAccountRet : VeloBaseRet {
    int channelID = 0;
    std::string channel;
    std::string seq;
    std::string user_name;
    std::string uid;
    std::string token;
    std::string expiretime;
    int is_register = 0;
    int isset_pwd = 0;
    int is_receive_email = 0;
    int expire_time = 0;
};

struct VeloNoticeTextInfo {
    std::string notice_title;
    std::string notice_content;
    std::string notice_redirect_url;
};

struct VeloNoticePicInfo {
    std::string pic_url;
    std::string pic_hash;
    std::string pic_title;
    std::string pic_size;
    int pic_dir = 0;
};

struct VeloNoticeInfo {
    int notice_id = 0;
    int notice_type = 0;
    std::string notice_group;
    int start_time = 0;
    int end_time = 0;
    int update_time = 0;
    int order = 0;
    int content_type = 0;
    std::string language;
    VeloNoticeTextInfo notice_text_obj;
    std::vector<VeloNoticePicInfo> notice_pic_list;
    std::string notice_web_url;
    std::string extra_data;
};

struct VeloNoticeRet : VeloBaseRet {
    // Request context the core keeps with the answer; the adapter does not serialize it.
    int req_type = 0;
    std::string region;
    std::string lang_type;
    std::vector<VeloNoticeInfo> notice_list;
};

struct VeloWebViewRet : VeloBaseRet {
    int msgType = 0;
    std::string msgJsonData;
    float embedProgress = 0.0f;
    std::string embedUrl;
};

}  // namespace Velo
}  // namespace Corvan
