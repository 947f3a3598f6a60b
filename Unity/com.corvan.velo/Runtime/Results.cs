using System.Collections.Generic;

namespace Corvan.Velo.Unity
{
    // The typed results, member for member as the adapter writes them; each member's docs give
    // its JSON key. Texts are exactly the adapter's: nothing is parsed out of them, so a text
    // that looks like a date, a number or JSON stays that text. Members are set by the reader
    // alone, so one handler cannot change what the next one reads.

    /// <summary>The members every result begins with (a result of the envelope kind has these
    /// alone). Get-only: every handler reads what the core sent.</summary>
    public class BaseResult
    {
        /// <summary><c>"methodNameID"</c>: the number of the core's method that answered.</summary>
        public int MethodNameID { get; internal set; }

        /// <summary><c>"retCode"</c>: the core's return code.</summary>
        public int RetCode { get; internal set; }

        /// <summary><c>"retMsg"</c>: the core's return message, the core's text,
        /// unchanged.</summary>
        public string RetMsg { get; internal set; }

        /// <summary><c>"ret"</c>: the core's number.</summary>
        public int Ret { get; internal set; }

        /// <summary><c>"msg"</c>: the core's text, unchanged.</summary>
        public string Msg { get; internal set; }

        /// <summary><c>"extraJson"</c>: extra data, a JSON text, kept as text. Null in a QR code
        /// result, which has none.</summary>
        public string ExtraJson { get; internal set; }

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
        /// <summary><c>"openid"</c>: the core's text, unchanged.</summary>
        public string OpenId { get; internal set; }

        /// <summary><c>"token"</c>: the core's text, unchanged.</summary>
        public string Token { get; internal set; }

        /// <summary><c>"token_expire_time"</c>: the core's number.</summary>
        public long TokenExpireTime { get; internal set; }

        /// <summary><c>"first"</c>: the core's number.</summary>
        public int First { get; internal set; }

        /// <summary><c>"reg_channel_dis"</c>: the core's text, unchanged.</summary>
        public string RegChannelDis { get; internal set; }

        /// <summary><c>"user_name"</c>: the core's text, unchanged.</summary>
        public string UserName { get; internal set; }

        /// <summary><c>"gender"</c>: the core's number.</summary>
        public int Gender { get; internal set; }

        /// <summary><c>"birthdate"</c>: the core's text, unchanged. Never parsed as a
        /// date.</summary>
        public string Birthdate { get; internal set; }

        /// <summary><c>"picture_url"</c>: the core's text, unchanged.</summary>
        public string PictureUrl { get; internal set; }

        /// <summary><c>"pf"</c>: the core's text, unchanged.</summary>
        public string Pf { get; internal set; }

        /// <summary><c>"pfKey"</c>: the core's text, unchanged.</summary>
        public string PfKey { get; internal set; }

        /// <summary><c>"need_name_auth"</c>: whether the core asks for a real-name check.</summary>
        public bool NeedNameAuth { get; internal set; }

        /// <summary><c>"channelid"</c>: the core's number.</summary>
        public int ChannelId { get; internal set; }

        /// <summary><c>"channel"</c>: the core's text, unchanged.</summary>
        public string Channel { get; internal set; }

        /// <summary><c>"channel_info"</c>: the core's text, unchanged.</summary>
        public string ChannelInfo { get; internal set; }

        /// <summary><c>"confirm_code"</c>: the core's text, unchanged.</summary>
        public string ConfirmCode { get; internal set; }

        /// <summary><c>"confirm_code_expire_time"</c>: the core's number.</summary>
        public long ConfirmCodeExpireTime { get; internal set; }

        /// <summary><c>"bind_list"</c>: the bound accounts, a JSON text, kept as text.</summary>
        public string BindList { get; internal set; }
    }

    /// <summary>A result carrying a QR code address (it has no ExtraJson).</summary>
    public class QrCodeResult : BaseResult
    {
        /// <summary><c>"channelID"</c>: the core's number.</summary>
        public int ChannelID { get; internal set; }

        /// <summary><c>"channel"</c>: the core's text, unchanged.</summary>
        public string Channel { get; internal set; }

        /// <summary><c>"qrCodeUrl"</c>: the core's text, unchanged.</summary>
        public string QrCodeUrl { get; internal set; }
    }

    /// <summary>An account service result.</summary>
    public class AccountResult : BaseResult
    {
        /// <summary><c>"channelID"</c>: the core's number.</summary>
        public int ChannelID { get; internal set; }

        /// <summary><c>"channel"</c>: the core's text, unchanged.</summary>
        public string Channel { get; internal set; }

        /// <summary><c>"seq"</c>: the core's text, unchanged.</summary>
        public string Seq { get; internal set; }

        /// <summary><c>"user_name"</c>: the core's text, unchanged.</summary>
        public string UserName { get; internal set; }

        /// <summary><c>"uid"</c>: the core's text, unchanged.</summary>
        public string Uid { get; internal set; }

        /// <summary><c>"token"</c>: the core's text, unchanged.</summary>
        public string Token { get; internal set; }

        /// <summary><c>"expiretime"</c>: the expiry as the core's text; <see
        /// cref="ExpireTimeNumber"/> is the number.</summary>
        public string ExpireTime { get; internal set; }

        /// <summary><c>"is_register"</c>: the core's number.</summary>
        public int IsRegister { get; internal set; }

        /// <summary><c>"isset_pwd"</c>: the core's number.</summary>
        public int IsSetPwd { get; internal set; }

        /// <summary><c>"is_receive_email"</c>: the core's number.</summary>
        public int IsReceiveEmail { get; internal set; }

        /// <summary><c>"expire_time"</c>: the expiry as a number.</summary>
        public int ExpireTimeNumber { get; internal set; }
    }

    /// <summary>The texts of a notice.</summary>
    public sealed class NoticeText
    {
        /// <summary><c>"notice_title"</c>: the core's text, unchanged.</summary>
        public string Title { get; internal set; }

        /// <summary><c>"notice_content"</c>: the core's text, unchanged.</summary>
        public string Content { get; internal set; }

        /// <summary><c>"notice_redirect_url"</c>: the core's text, unchanged.</summary>
        public string RedirectUrl { get; internal set; }
    }

    /// <summary>A picture of a notice.</summary>
    public sealed class NoticePicture
    {
        /// <summary><c>"pic_url"</c>: the core's text, unchanged.</summary>
        public string Url { get; internal set; }

        /// <summary><c>"pic_hash"</c>: the core's text, unchanged.</summary>
        public string Hash { get; internal set; }

        /// <summary><c>"pic_title"</c>: the core's text, unchanged.</summary>
        public string Title { get; internal set; }

        /// <summary><c>"pic_size"</c>: the core's text, unchanged. Never parsed.</summary>
        public string Size { get; internal set; }

        /// <summary><c>"pic_dir"</c>: the core's number.</summary>
        public int Dir { get; internal set; }
    }

    /// <summary>One notice.</summary>
    public sealed class Notice
    {
        /// <summary><c>"notice_id"</c>: the core's number.</summary>
        public int Id { get; internal set; }

        /// <summary><c>"notice_type"</c>: the core's number.</summary>
        public int Type { get; internal set; }

        /// <summary><c>"notice_group"</c>: the core's text, unchanged.</summary>
        public string Group { get; internal set; }

        /// <summary><c>"start_time"</c>: the core's number.</summary>
        public int StartTime { get; internal set; }

        /// <summary><c>"end_time"</c>: the core's number.</summary>
        public int EndTime { get; internal set; }

        /// <summary><c>"update_time"</c>: the core's number.</summary>
        public int UpdateTime { get; internal set; }

        /// <summary><c>"order"</c>: the core's number.</summary>
        public int Order { get; internal set; }

        /// <summary><c>"content_type"</c>: the core's number.</summary>
        public int ContentType { get; internal set; }

        /// <summary><c>"language"</c>: the core's text, unchanged.</summary>
        public string Language { get; internal set; }

        /// <summary><c>"notice_text_obj"</c>: its texts; null when the core sent null.</summary>
        public NoticeText Text { get; internal set; }

        /// <summary><c>"notice_pic_list"</c>: its pictures, in order; null when the core sent
        /// null.</summary>
        public IReadOnlyList<NoticePicture> Pictures { get; internal set; }

        /// <summary><c>"notice_web_url"</c>: the core's text, unchanged.</summary>
        public string WebUrl { get; internal set; }

        /// <summary><c>"extra_data"</c>: extra data, a JSON text, kept as text.</summary>
        public string ExtraData { get; internal set; }
    }

    /// <summary>The notices the core loaded.</summary>
    public class NoticeResult : BaseResult
    {
        /// <summary><c>"notice_list"</c>: the notices, in order; null when the core sent
        /// null.</summary>
        public IReadOnlyList<Notice> Notices { get; internal set; }
    }

    /// <summary>A web view event.</summary>
    public class WebViewResult : BaseResult
    {
        /// <summary><c>"msgType"</c>: what happened, the core's number.</summary>
        public int MsgType { get; internal set; }

        /// <summary><c>"msgJsonData"</c>: the page's message, a JSON text, kept as text.</summary>
        public string MsgJsonData { get; internal set; }

        /// <summary><c>"embedUrl"</c>: the core's text, unchanged.</summary>
        public string EmbedUrl { get; internal set; }

        /// <summary><c>"embedProgress"</c>: the page's loading progress, exactly the core's float;
        /// NaN when the core sent no number.</summary>
        public float EmbedProgress { get; internal set; } = float.NaN;
    }
}
