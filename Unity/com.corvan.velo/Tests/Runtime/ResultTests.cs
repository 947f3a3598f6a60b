using System;
using System.Collections.Generic;
using System.Linq;
using Newtonsoft.Json;
using Newtonsoft.Json.Linq;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Every member of every kind of result reaches the game exactly as the core sent
    /// it, through its own event: texts that look like dates, numbers or JSON stay those texts, in
    /// any script; numbers keep their extremes and the progress its float, bit for bit.</summary>
    public class ResultTests : BindingTest
    {
        // Texts a lenient reader would turn into something else.
        private static readonly string[] Texts =
            ("1990-05-17T08:30:00Z|/Date(0)/|2024-01-01T00:00:00|12345|-0.5e3|" +
             "{\"a\":[1,\"b\"],\"when\":\"2024-01-01T00:00:00Z\"}|" + Unicode +
             "|line\nbreak \"quoted\" \\ tab\t \u0001|true||null|2024-01-01|05/17/1990 08:30:00|" +
             "[{\"channel\":\"Guest\",\"channelid\":3}]|1e400")
                .Split('|');

        private static string T(int i) => Texts[i % Texts.Length];

        /// <summary>A kind's members: each one's path in the record ("a/0/b" nests; "none" for
        /// none), the value sent, and where the game reads it; the envelope's first.</summary>
        private static object[] Kind<R>(string kind, bool extraJson,
                                        params(string, object, Func<R, object>)[] members)
            where R : BaseResult
        {
            var envelope = new(string, object, Func<R, object>)[] {
                ("methodNameID", kind.Length, r => r.MethodNameID),
                ("retCode", int.MinValue, r => r.RetCode),
                ("retMsg", T(kind.Length), r => r.RetMsg),
                ("ret", int.MaxValue, r => r.Ret),
                ("msg", T(kind.Length + 1), r => r.Msg),
                ("extraJson", T(kind.Length + 2), r => r.ExtraJson),
            };
            return new object[] {
                kind, typeof(R),
                envelope.Take(extraJson ? 6 : 5)
                    .Concat(members)
                    .Select(m => new[] { m.Item1, m.Item2,
                                         (Func<BaseResult, object>)(r => m.Item3((R)r)) })
                    .ToArray()
            };
        }

        /// <summary>A member of the first notice.</summary>
        private static (string, object, Func<NoticeResult, object>)
            N(string path, object sent, Func<Notice, object> read)
        {
            return ("notice_list/0/" + path, sent, r => read(r.Notices[0]));
        }

        private static readonly object[][] Kinds = {
            Kind<BaseResult>("base", true),
            Kind<LoginResult>(
                "login", true, ("openid", T(4), r => r.OpenId), ("token", T(5), r => r.Token),
                ("token_expire_time", 4102444800L, r => r.TokenExpireTime),
                ("first", -1, r => r.First), ("reg_channel_dis", T(6), r => r.RegChannelDis),
                ("user_name", T(2), r => r.UserName), ("gender", 2, r => r.Gender),
                ("birthdate", T(0), r => r.Birthdate), ("picture_url", T(7), r => r.PictureUrl),
                ("pf", T(8), r => r.Pf), ("pfKey", T(9), r => r.PfKey),
                ("need_name_auth", true, r => r.NeedNameAuth), ("channelid", 3, r => r.ChannelId),
                ("channel", T(10), r => r.Channel), ("channel_info", T(11), r => r.ChannelInfo),
                ("confirm_code", T(12), r => r.ConfirmCode),
                ("confirm_code_expire_time", -300L, r => r.ConfirmCodeExpireTime),
                ("bind_list", T(13), r => r.BindList)),
            Kind<QrCodeResult>("qrcode", false, ("channelID", 7, r => r.ChannelID),
                               ("channel", T(14), r => r.Channel),
                               ("qrCodeUrl", T(6), r => r.QrCodeUrl),
                               ("none", null, r => r.ExtraJson)),
            Kind<AccountResult>(
                "account", true, ("channelID", -5, r => r.ChannelID),
                ("channel", T(1), r => r.Channel), ("seq", T(3), r => r.Seq),
                ("user_name", T(6), r => r.UserName), ("uid", T(4), r => r.Uid),
                ("token", T(5), r => r.Token), ("expiretime", T(0), r => r.ExpireTime),
                ("is_register", 1, r => r.IsRegister), ("isset_pwd", 0, r => r.IsSetPwd),
                ("is_receive_email", int.MinValue, r => r.IsReceiveEmail),
                ("expire_time", 60, r => r.ExpireTimeNumber)),
            Kind<WebViewResult>("webview", true, ("msgType", -1, r => r.MsgType),
                                ("msgJsonData", T(5), r => r.MsgJsonData),
                                ("embedUrl", T(1), r => r.EmbedUrl)),
            Kind<NoticeResult>(
                "notice", true, N("notice_id", 8, n => n.Id), N("notice_type", -1, n => n.Type),
                N("notice_group", T(0), n => n.Group),
                N("start_time", int.MaxValue, n => n.StartTime),
                N("end_time", int.MinValue, n => n.EndTime),
                N("update_time", 17, n => n.UpdateTime), N("order", 2, n => n.Order),
                N("content_type", 3, n => n.ContentType), N("language", T(6), n => n.Language),
                N("notice_text_obj/notice_title", T(1), n => n.Text.Title),
                N("notice_text_obj/notice_content", T(7), n => n.Text.Content),
                N("notice_text_obj/notice_redirect_url", T(2), n => n.Text.RedirectUrl),
                N("notice_pic_list/0/pic_url", T(3), n => n.Pictures[0].Url),
                N("notice_pic_list/0/pic_hash", T(4), n => n.Pictures[0].Hash),
                N("notice_pic_list/0/pic_title", T(6), n => n.Pictures[0].Title),
                N("notice_pic_list/0/pic_size", "1024x512", n => n.Pictures[0].Size),
                N("notice_pic_list/0/pic_dir", 2, n => n.Pictures[0].Dir),
                N("notice_pic_list/1/pic_size", T(3), n => n.Pictures[1].Size),
                N("notice_web_url", T(11), n => n.WebUrl), N("extra_data", T(13), n => n.ExtraData),
                ("notice_list/1/notice_id", 9, r => r.Notices[1].Id),
                ("none", "", r => r.Notices[1].Text.Title),
                ("none", 0, r => r.Notices[1].Pictures.Count), ("none", 2, r => r.Notices.Count)),
        };

        [TestCaseSource(nameof(Kinds))]
        public void EveryMemberArrivesExactlyThroughItsKindsEvent(string kind, Type type,
                                                                  object[][] members)
        {
            var record = new JObject();
            foreach (var member in members.Where(m => (string)m[0] != "none"))
            {
                var value = JToken.FromObject(member[1]);
                foreach (var step in ((string)member[0]).Split('/').Reverse())
                    value =
                        int.TryParse(step, out var index)
                            ? new JArray(
                                  Enumerable.Repeat(new JObject(), index).Concat(new[] { value }))
                            : (JToken) new JObject(new JProperty(step, value));
                record.Merge(
                    value, new JsonMergeSettings { MergeArrayHandling = MergeArrayHandling.Merge });
            }
            var received = FireAndDispatch<BaseResult>(kind, record.ToString());
            Assert.AreEqual(type, received.GetType());
            foreach (var member in members)
                Assert.AreEqual(member[1], ((Func<BaseResult, object>)member[2])(received),
                                (string)member[0]);
        }

        [Test]
        public void TheProgressIsTheCoresFloatBitForBit()
        {
            // The core's float, as the stand-in reads it from the record, and what the game reads.
            var sent = ("0.0 1.0 0.25 0.1 0.7 -0.0 1e-7 null -1e300 3.4028234663852886e38 " +
                        "1.401298464324817e-45")
                           .Split(' ');
            var expected = new[] { 0f,    1f,        0.25f,     0.1f,           0.7f,         -0f,
                                   1e-7f, float.NaN, float.NaN, float.MaxValue, float.Epsilon };
            Assert.AreEqual(expected.Select(f => BitConverter.GetBytes(f)),
                            sent.Select(text => BitConverter.GetBytes(
                                            FireAndDispatch<WebViewResult>(
                                                "webview", "{\"embedProgress\":" + text + "}")
                                                .EmbedProgress)));
        }

        [Test]
        public void TheRawTextAndTheLoginSnapshotAreTheAdapters()
        {
            VeloStandIn.Fire("base", "{\"methodNameID\":1,\"msg\":\"" + Unicode + "\"}", false);
            ResultDispatcher.DispatchPending();
            Assert.AreEqual("{\"methodNameID\":1,\"retCode\":-1,\"retMsg\":\"\",\"ret\":-1," +
                                "\"msg\":\"" + Unicode + "\",\"extraJson\":\"\"}",
                            Raw.Single().Value);
            Assert.IsTrue(VeloStandIn.SetLoginRet("{\"openid\":\"" + Unicode +
                                                  "\",\"birthdate\":\"" + T(0) + "\"}"));
            Assert.IsTrue(VeloLogin.TryGetLoginRet(out var login));
            Assert.AreEqual(new[] { Unicode, T(0), "" },
                            new[] { login.OpenId, login.Birthdate, login.UserName });
        }
    }
}
