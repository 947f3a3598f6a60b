using System.Collections.Generic;
using Newtonsoft.Json;

namespace Corvan.Velo.Unity
{
    /// <summary>The members every result begins with.</summary>
    public class BaseResult
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
        /// <summary>Extra data: a JSON text, kept as text.</summary>
        [JsonProperty("extraJson")]
        public string ExtraJson;
    }

    /// <summary>The login members, as in a login result and in the login snapshot.</summary>
    public class LoginResult : BaseResult
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
        /// <summary>The bound accounts: a JSON text, kept as text.</summary>
        [JsonProperty("bind_list")]
        public string BindList;
    }

    /// <summary>A result carrying a QR code address (it has no ExtraJson).</summary>
    public class QrCodeResult : BaseResult
    {
        [JsonProperty("channelID")]
        public int ChannelID;
        [JsonProperty("channel")]
        public string Channel;
        [JsonProperty("qrCodeUrl")]
        public string QrCodeUrl;
    }

    public class AccountResult : BaseResult
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
        /// <summary>The expiry as text; <see cref="ExpireTimeNumber"/> is the number.</summary>
        [JsonProperty("expiretime")]
        public string ExpireTime;
        [JsonProperty("expire_time")]
        public int ExpireTimeNumber;
        [JsonProperty("is_register")]
        public int IsRegister;
        [JsonProperty("isset_pwd")]
        public int IsSetPwd;
        [JsonProperty("is_receive_email")]
        public int IsReceiveEmail;
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
        /// <summary>Extra data: a JSON text, kept as text.</summary>
        [JsonProperty("extra_data")]
        public string ExtraData;
    }

    public class NoticeResult : BaseResult
    {
        [JsonProperty("notice_list")]
        public List<Notice> Notices;
    }

    public class WebViewResult : BaseResult
    {
        [JsonProperty("msgType")]
        public int MsgType;
        /// <summary>The page's message: a JSON text, kept as text.</summary>
        [JsonProperty("msgJsonData")]
        public string MsgJsonData;
        [JsonProperty("embedProgress")]
        private float? embedProgress;
        [JsonProperty("embedUrl")]
        public string EmbedUrl;

        /// <summary>The page's loading progress; NaN when the core sent no number.</summary>
        [JsonIgnore]
        public float EmbedProgress
        {
            get {
                return embedProgress ?? float.NaN;
            }
            set {
                embedProgress = value;
            }
        }
    }
}
