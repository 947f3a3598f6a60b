using System;
using System.Collections.Generic;
using System.Linq;
using Newtonsoft.Json;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Every member of every kind of result reaches the game exactly as the core sent
    /// it: texts that look like dates, numbers or JSON stay those texts, in any script.</summary>
    [TestFixture]
    public class ResultTests : BindingTest
    {
        private const string Unicode = "\u00e9 \u65e5\u672c\u8a9e \U0001F3AE";

        // Texts a lenient reader would turn into something else.
        private static readonly string[] Texts = {
            "1990-05-17T08:30:00Z",
            "/Date(0)/",
            "2024-01-01T00:00:00",
            "12345",
            "-0.5e3",
            "{\"a\":[1,\"b\"],\"when\":\"2024-01-01T00:00:00Z\"}",
            Unicode,
            "line\nbreak \"quoted\" \\ tab\t \u0001",
            "true",
            "",
            "null",
            "2024-01-01",
            "05/17/1990 08:30:00",
            "[{\"channel\":\"Guest\",\"channelid\":3}]",
            "1e400",
        };

        private static string T(int i)
        {
            return Texts[i % Texts.Length];
        }

        /// <summary>One member: its key, the value the core sent, and where the game reads it.
        /// </summary>
        private sealed class Member<TResult>
        {
            public string Key;
            public object Sent;
            public Func<TResult, object> Read;
        }

        private static Member<TResult> M<TResult>(string key, object sent,
                                                  Func<TResult, object> read)
        {
            return new Member<TResult> { Key = key, Sent = sent, Read = read };
        }

        private static IEnumerable<Member<TResult>> Envelope<TResult>(int method,
                                                                      bool extraJson = true)
            where TResult : BaseResult
        {
            yield return M<TResult>("methodNameID", method, r => r.MethodNameID);
            yield return M<TResult>("retCode", int.MinValue, r => r.RetCode);
            yield return M<TResult>("retMsg", T(method), r => r.RetMsg);
            yield return M<TResult>("ret", int.MaxValue, r => r.Ret);
            yield return M<TResult>("msg", T(method + 1), r => r.Msg);
            if (extraJson)
            {
                yield return M<TResult>("extraJson", T(method + 2), r => r.ExtraJson);
            }
        }

        /// <summary>Fires a record of these members, and checks each member of what the game
        /// receives against what was sent.</summary>
        private TResult ExpectExact<TResult>(string kind, IEnumerable<Member<TResult>> members)
            where TResult : BaseResult
        {
            var all = members.ToList();
            var record = JsonConvert.SerializeObject(all.ToDictionary(m => m.Key, m => m.Sent));
            var received = FireAndDispatch<TResult>(kind, record);
            foreach (var member in all)
            {
                Assert.AreEqual(member.Sent, member.Read(received), member.Key);
            }
            return received;
        }

        [Test]
        public void LoginResultMembersArriveExactly()
        {
            var login = ExpectExact("login", Envelope<LoginResult>(1).Concat(new[] {
                M<LoginResult>("openid", T(4), r => r.OpenId),
                M<LoginResult>("token", T(5), r => r.Token),
                M<LoginResult>("token_expire_time", 4102444800L, r => r.TokenExpireTime),
                M<LoginResult>("first", -1, r => r.First),
                M<LoginResult>("reg_channel_dis", T(6), r => r.RegChannelDis),
                M<LoginResult>("user_name", T(2), r => r.UserName),
                M<LoginResult>("gender", 2, r => r.Gender),
                M<LoginResult>("birthdate", T(0), r => r.Birthdate),
                M<LoginResult>("picture_url", T(7), r => r.PictureUrl),
                M<LoginResult>("pf", T(8), r => r.Pf),
                M<LoginResult>("pfKey", T(9), r => r.PfKey),
                M<LoginResult>("need_name_auth", true, r => r.NeedNameAuth),
                M<LoginResult>("channelid", 3, r => r.ChannelId),
                M<LoginResult>("channel", T(10), r => r.Channel),
                M<LoginResult>("channel_info", T(11), r => r.ChannelInfo),
                M<LoginResult>("confirm_code", T(12), r => r.ConfirmCode),
                M<LoginResult>("confirm_code_expire_time", -300L, r => r.ConfirmCodeExpireTime),
                M<LoginResult>("bind_list", T(13), r => r.BindList),
            }));
            Assert.AreEqual("2024-01-01T00:00:00", login.UserName);
            Assert.AreEqual("1990-05-17T08:30:00Z", login.Birthdate);
        }

        [Test]
        public void BaseQrCodeAndAccountResultMembersArriveExactly()
        {
            ExpectExact("base", Envelope<BaseResult>(2));
            var qrCode = ExpectExact("qrcode", Envelope<QrCodeResult>(3, false).Concat(new[] {
                M<QrCodeResult>("channelID", 7, r => r.ChannelID),
                M<QrCodeResult>("channel", T(14), r => r.Channel),
                M<QrCodeResult>("qrCodeUrl", T(6), r => r.QrCodeUrl),
            }));
            Assert.IsNull(qrCode.ExtraJson, "the QR code result has no extraJson");
            ExpectExact("account", Envelope<AccountResult>(4).Concat(new[] {
                M<AccountResult>("channelID", -5, r => r.ChannelID),
                M<AccountResult>("channel", T(1), r => r.Channel),
                M<AccountResult>("seq", T(3), r => r.Seq),
                M<AccountResult>("user_name", T(6), r => r.UserName),
                M<AccountResult>("uid", T(4), r => r.Uid),
                M<AccountResult>("token", T(5), r => r.Token),
                M<AccountResult>("expiretime", T(0), r => r.ExpireTime),
                M<AccountResult>("is_register", 1, r => r.IsRegister),
                M<AccountResult>("isset_pwd", 0, r => r.IsSetPwd),
                M<AccountResult>("is_receive_email", int.MinValue, r => r.IsReceiveEmail),
                M<AccountResult>("expire_time", 60, r => r.ExpireTimeNumber),
            }));
        }

        [Test]
        public void WebViewResultMembersArriveExactlyAndTheProgressKeepsTheCoresFloat()
        {
            ExpectExact("webview", Envelope<WebViewResult>(5).Concat(new[] {
                M<WebViewResult>("msgType", -1, r => r.MsgType),
                M<WebViewResult>("msgJsonData", T(5), r => r.MsgJsonData),
                M<WebViewResult>("embedUrl", T(1), r => r.EmbedUrl),
            }));
            // The core's float, as the stand-in reads it from the record, and what the game reads.
            var progresses = new[] {
                Tuple.Create("0.0", 0f),
                Tuple.Create("1.0", 1f),
                Tuple.Create("0.25", 0.25f),
                Tuple.Create("0.1", 0.1f),
                Tuple.Create("0.7", 0.7f),
                Tuple.Create("-0.0", -0f),
                Tuple.Create("1e-7", 1e-7f),
                Tuple.Create("3.4028234663852886e38", float.MaxValue),
                Tuple.Create("1.401298464324817e-45", float.Epsilon),
                Tuple.Create("null", float.NaN),
                Tuple.Create("-1e300", float.NaN),
            };
            foreach (var progress in progresses)
            {
                var received = FireAndDispatch<WebViewResult>(
                    "webview", "{\"embedProgress\":" + progress.Item1 + "}");
                Assert.AreEqual(BitConverter.GetBytes(progress.Item2),
                                BitConverter.GetBytes(received.EmbedProgress), progress.Item1);
            }
        }

        [Test]
        public void NoticeMembersArriveExactlyAtEveryDepth()
        {
            var record = new Dictionary<string, object> {
                { "methodNameID", 301 },
                { "extraJson", T(5) },
                { "notice_list",
                  new object[] {
                      new Dictionary<string, object> {
                          { "notice_id", 8 },
                          { "notice_type", -1 },
                          { "notice_group", T(0) },
                          { "start_time", int.MaxValue },
                          { "end_time", int.MinValue },
                          { "update_time", 1700000000 },
                          { "order", 2 },
                          { "content_type", 3 },
                          { "language", T(6) },
                          { "notice_text_obj",
                            new Dictionary<string, object> { { "notice_title", T(1) },
                                                             { "notice_content", T(7) },
                                                             { "notice_redirect_url", T(2) } } },
                          { "notice_pic_list",
                            new object[] { new Dictionary<string, object> { { "pic_url", T(3) },
                                                                            { "pic_hash", T(4) },
                                                                            { "pic_title", T(6) },
                                                                            { "pic_size",
                                                                              "1024x512" },
                                                                            { "pic_dir", 2 } },
                                           new Dictionary<string, object> { { "pic_size",
                                                                              T(3) } } } },
                          { "notice_web_url", T(11) },
                          { "extra_data", T(13) }
                      },
                      new Dictionary<string, object> { { "notice_id", 9 } }
                  } },
            };
            var notices =
                FireAndDispatch<NoticeResult>("notice", JsonConvert.SerializeObject(record));
            Assert.AreEqual(301, notices.MethodNameID);
            Assert.AreEqual(T(5), notices.ExtraJson);
            Assert.AreEqual(2, notices.Notices.Count);
            var first = notices.Notices[0];
            Assert.AreEqual(new object[] { 8, -1, T(0), int.MaxValue, int.MinValue, 1700000000, 2,
                                           3, T(6), T(11), T(13) },
                            new object[] { first.Id, first.Type, first.Group, first.StartTime,
                                           first.EndTime, first.UpdateTime, first.Order,
                                           first.ContentType, first.Language, first.WebUrl,
                                           first.ExtraData });
            Assert.AreEqual(new[] { T(1), T(7), T(2) },
                            new[] { first.Text.Title, first.Text.Content, first.Text.RedirectUrl });
            Assert.AreEqual(2, first.Pictures.Count);
            var picture = first.Pictures[0];
            Assert.AreEqual(new object[] { T(3), T(4), T(6), "1024x512", 2 },
                            new object[] { picture.Url, picture.Hash, picture.Title, picture.Size,
                                           picture.Dir });
            Assert.AreEqual(T(3), first.Pictures[1].Size);
            Assert.AreEqual(9, notices.Notices[1].Id);
            Assert.AreEqual("", notices.Notices[1].Text.Title, "the adapter writes every member");
            CollectionAssert.IsEmpty(notices.Notices[1].Pictures);
        }

        [Test]
        public void TheRawTextIsTheAdaptersAndEachKindHasItsOwnEvent()
        {
            VeloStandIn.Fire("base", "{\"methodNameID\":1,\"msg\":\"" + Unicode + "\"}", false);
            VeloStandIn.Fire("qrcode", "{\"methodNameID\":2}", false);
            VeloStandIn.Fire("account", "{\"methodNameID\":3}", false);
            VeloStandIn.Fire("notice", "{\"methodNameID\":4}", false);
            VeloStandIn.Fire("webview", "{\"methodNameID\":5}", false);
            VeloStandIn.Fire("login", "{\"methodNameID\":6}", false);
            Assert.AreEqual(6, ResultDispatcher.DispatchPending());
            Assert.AreEqual(new[] { typeof(BaseResult), typeof(QrCodeResult), typeof(AccountResult),
                                    typeof(NoticeResult), typeof(WebViewResult),
                                    typeof(LoginResult) },
                            Typed.Select(r => r.GetType()).ToArray());
            Assert.AreEqual(new[] { 1, 2, 3, 4, 5, 6 }, Raw.Select(r => r.Key).ToArray());
            Assert.AreEqual("{\"methodNameID\":1,\"retCode\":-1,\"retMsg\":\"\",\"ret\":-1," +
                                "\"msg\":\"" + Unicode + "\",\"extraJson\":\"\"}",
                            Raw[0].Value);
        }

        [Test]
        public void TheLoginSnapshotAndReturnedTextsAreExact()
        {
            var sent = new Dictionary<string, object> {
                { "openid", T(3) },    { "user_name", T(2) },
                { "birthdate", T(0) }, { "token_expire_time", 4102444800L },
                { "bind_list", T(5) }, { "channel", T(6) },
            };
            Assert.IsTrue(VeloStandIn.SetLoginRet(JsonConvert.SerializeObject(sent)));
            var login = VeloAdapter.GetLoginRet();
            Assert.AreEqual(new object[] { T(3), T(2), T(0), 4102444800L, T(5), T(6) },
                            new object[] { login.OpenId, login.UserName, login.Birthdate,
                                           login.TokenExpireTime, login.BindList, login.Channel });
            StringAssert.Contains("\"birthdate\":\"1990-05-17T08:30:00Z\"",
                                  VeloAdapter.GetLoginRetJson());
            VeloStandIn.SetEncodeUrl(Unicode);
            Assert.AreEqual(Unicode, VeloAdapter.GetEncodeUrl("x"));
            VeloStandIn.SetNoticeData(T(1));
            Assert.AreEqual(T(1), VeloAdapter.LoadNoticeData("a", "b", 1, "c", "d"));
        }

        [Test]
        public void NonAsciiTextsReachTheCoreByteForByte()
        {
            VeloAdapter.Login(Unicode, "\u00e9", "\u65e5\u672c\u8a9e", "\U0001F3AE");
            ExpectSingleCall("Login", Text(Unicode), Text("\u00e9"), Text("\u65e5\u672c\u8a9e"),
                             Text("\U0001F3AE"));
            VeloStandIn.Reset();
            VeloAdapter.SetLanguage("\u65e5\u672c\u8a9e");
            ExpectSingleCall("SetLanguage", CText("\u65e5\u672c\u8a9e"));
        }

        [Test]
        public void ReturnedTextsAreReleasedWithTheAdaptersHeap()
        {
            // 400 texts of 2 MiB: 800 MiB held if they were not released.
            VeloStandIn.SetEncodeUrl(new string('x', 2 << 20));
            var before = ResidentBytes();
            for (var i = 0; i < 400; ++i)
            {
                Assert.AreEqual(2 << 20, VeloAdapter.GetEncodeUrl("u").Length);
            }
            GC.Collect();
            var grown = ResidentBytes() - before;
            Assert.Less(grown, 256L << 20, "resident memory grew by " + (grown >> 20) + " MiB");
        }

        private static long ResidentBytes()
        {
            using (var process = System.Diagnostics.Process.GetCurrentProcess())
            {
                process.Refresh();
                return process.WorkingSet64;
            }
        }
    }
}
