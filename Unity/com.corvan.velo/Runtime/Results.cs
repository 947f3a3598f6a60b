using System.Collections.Generic;

namespace Corvan.Velo.Unity
{
    // The typed results, member for member as the adapter writes them (JSON key in each comment).
    // Texts are exactly the adapter's: nothing is parsed out of them, so a text that looks like a
    // date, a number or JSON stays that text.

    /// <summary>The members every result begins with.</summary>
    public class BaseResult
    {
        public int MethodNameID; // "methodNameID"
        public int RetCode;      // "retCode"
        public string RetMsg;    // "retMsg"
        public int Ret;          // "ret"
        public string Msg;       // "msg"
        /// <summary>Extra data: a JSON text, kept as text.</summary>
        public string ExtraJson; // "extraJson"

        internal void CopyEnvelope(BaseResult from)
        {
            MethodNameID = from.MethodNameID;
            RetCode = from.RetCode;
            RetMsg = from.RetMsg;
            Ret = from.Ret;
            Msg = from.Msg;
            ExtraJson = from.ExtraJson;
        }
    }

    /// <summary>The login members, as in a login result and in the login snapshot.</summary>
    public class LoginResult : BaseResult
    {
        public string OpenId;              // "openid"
        public string Token;               // "token"
        public long TokenExpireTime;       // "token_expire_time"
        public int First;                  // "first"
        public string RegChannelDis;       // "reg_channel_dis"
        public string UserName;            // "user_name"
        public int Gender;                 // "gender"
        public string Birthdate;           // "birthdate"
        public string PictureUrl;          // "picture_url"
        public string Pf;                  // "pf"
        public string PfKey;               // "pfKey"
        public bool NeedNameAuth;          // "need_name_auth"
        public int ChannelId;              // "channelid"
        public string Channel;             // "channel"
        public string ChannelInfo;         // "channel_info"
        public string ConfirmCode;         // "confirm_code"
        public long ConfirmCodeExpireTime; // "confirm_code_expire_time"
        /// <summary>The bound accounts: a JSON text, kept as text.</summary>
        public string BindList; // "bind_list"
    }

    /// <summary>A result carrying a QR code address (it has no ExtraJson).</summary>
    public class QrCodeResult : BaseResult
    {
        public int ChannelID;    // "channelID"
        public string Channel;   // "channel"
        public string QrCodeUrl; // "qrCodeUrl"
    }

    public class AccountResult : BaseResult
    {
        public int ChannelID;   // "channelID"
        public string Channel;  // "channel"
        public string Seq;      // "seq"
        public string UserName; // "user_name"
        public string Uid;      // "uid"
        public string Token;    // "token"
        /// <summary>The expiry as text; <see cref="ExpireTimeNumber"/> is the number.</summary>
        public string ExpireTime;    // "expiretime"
        public int IsRegister;       // "is_register"
        public int IsSetPwd;         // "isset_pwd"
        public int IsReceiveEmail;   // "is_receive_email"
        public int ExpireTimeNumber; // "expire_time"
    }

    public class NoticeText
    {
        public string Title;       // "notice_title"
        public string Content;     // "notice_content"
        public string RedirectUrl; // "notice_redirect_url"
    }

    public class NoticePicture
    {
        public string Url;   // "pic_url"
        public string Hash;  // "pic_hash"
        public string Title; // "pic_title"
        public string Size;  // "pic_size"
        public int Dir;      // "pic_dir"
    }

    public class Notice
    {
        public int Id;                       // "notice_id"
        public int Type;                     // "notice_type"
        public string Group;                 // "notice_group"
        public int StartTime;                // "start_time"
        public int EndTime;                  // "end_time"
        public int UpdateTime;               // "update_time"
        public int Order;                    // "order"
        public int ContentType;              // "content_type"
        public string Language;              // "language"
        public NoticeText Text;              // "notice_text_obj"
        public List<NoticePicture> Pictures; // "notice_pic_list"
        public string WebUrl;                // "notice_web_url"
        /// <summary>Extra data: a JSON text, kept as text.</summary>
        public string ExtraData; // "extra_data"
    }

    public class NoticeResult : BaseResult
    {
        public List<Notice> Notices; // "notice_list"
    }

    public class WebViewResult : BaseResult
    {
        public int MsgType; // "msgType"
        /// <summary>The page's message: a JSON text, kept as text.</summary>
        public string MsgJsonData; // "msgJsonData"
        public string EmbedUrl;    // "embedUrl"

        /// <summary>The page's loading progress ("embedProgress"); NaN when the core sent no
        /// number.</summary>
        public float EmbedProgress { get; set; } = float.NaN;
    }
}
