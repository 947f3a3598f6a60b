// The reference: classes of the results' members, read by Json.NET's serializer.
using System.Collections.Generic;
using Newtonsoft.Json;

namespace Reference
{
    public class Base
    {
        [JsonProperty("methodNameID")]
        public int MethodNameID;
        [JsonProperty("retCode")]
        public int RetCode;
        [JsonProperty("retMsg")]
        public string RetMsg;
        [JsonProperty("ret")]
        public int Ret;
        [JsonProperty("msg")]
        public string Msg;
        [JsonProperty("extraJson")]
        public string ExtraJson;
    }

    public class Login : Base
    {
        [JsonProperty("openid")]
        public string OpenId;
        [JsonProperty("token")]
        public string Token;
        [JsonProperty("token_expire_time")]
        public long TokenExpireTime;
        [JsonProperty("first")]
        public int First;
        [JsonProperty("reg_channel_dis")]
        public string RegChannelDis;
        [JsonProperty("user_name")]
        public string UserName;
        [JsonProperty("gender")]
        public int Gender;
        [JsonProperty("birthdate")]
        public string Birthdate;
        [JsonProperty("picture_url")]
        public string PictureUrl;
        [JsonProperty("pf")]
        public string Pf;
        [JsonProperty("pfKey")]
        public string PfKey;
        [JsonProperty("need_name_auth")]
        public bool NeedNameAuth;
        [JsonProperty("channelid")]
        public int ChannelId;
        [JsonProperty("channel")]
        public string Channel;
        [JsonProperty("channel_info")]
        public string ChannelInfo;
        [JsonProperty("confirm_code")]
        public string ConfirmCode;
        [JsonProperty("confirm_code_expire_time")]
        public long ConfirmCodeExpireTime;
        [JsonProperty("bind_list")]
        public string BindList;
    }

    public class QrCode : Base
    {
        [JsonProperty("channelID")]
        public int ChannelID;
        [JsonProperty("channel")]
        public string Channel;
        [JsonProperty("qrCodeUrl")]
        public string QrCodeUrl;
    }

    public class Account : Base
    {
        [JsonProperty("channelID")]
        public int ChannelID;
        [JsonProperty("channel")]
        public string Channel;
        [JsonProperty("seq")]
        public string Seq;
        [JsonProperty("user_name")]
        public string UserName;
        [JsonProperty("uid")]
        public string Uid;
        [JsonProperty("token")]
        public string Token;
        [JsonProperty("expiretime")]
        public string ExpireTime;
        [JsonProperty("is_register")]
        public int IsRegister;
        [JsonProperty("isset_pwd")]
        public int IsSetPwd;
        [JsonProperty("is_receive_email")]
        public int IsReceiveEmail;
        [JsonProperty("expire_time")]
        public int ExpireTimeNumber;
    }

    public class WebView : Base
    {
        [JsonProperty("msgType")]
        public int MsgType;
        [JsonProperty("msgJsonData")]
        public string MsgJsonData;
        [JsonProperty("embedProgress")]
        public float? EmbedProgress;
        [JsonProperty("embedUrl")]
        public string EmbedUrl;
    }

    public class NoticeText
    {
        [JsonProperty("notice_title")]
        public string Title;
        [JsonProperty("notice_content")]
        public string Content;
        [JsonProperty("notice_redirect_url")]
        public string RedirectUrl;
    }

    public class NoticePicture
    {
        [JsonProperty("pic_url")]
        public string Url;
        [JsonProperty("pic_hash")]
        public string Hash;
        [JsonProperty("pic_title")]
        public string Title;
        [JsonProperty("pic_size")]
        public string Size;
        [JsonProperty("pic_dir")]
        public int Dir;
    }

    public class Notice
    {
        [JsonProperty("notice_id")]
        public int Id;
        [JsonProperty("notice_type")]
        public int Type;
        [JsonProperty("notice_group")]
        public string Group;
        [JsonProperty("start_time")]
        public int StartTime;
        [JsonProperty("end_time")]
        public int EndTime;
        [JsonProperty("update_time")]
        public int UpdateTime;
        [JsonProperty("order")]
        public int Order;
        [JsonProperty("content_type")]
        public int ContentType;
        [JsonProperty("language")]
        public string Language;
        [JsonProperty("notice_text_obj")]
        public NoticeText Text;
        [JsonProperty("notice_pic_list")]
        public List<NoticePicture> Pictures;
        [JsonProperty("notice_web_url")]
        public string WebUrl;
        [JsonProperty("extra_data")]
        public string ExtraData;
    }

    public class Notices : Base
    {
        [JsonProperty("notice_list")]
        public List<Notice> List;
    }
}
