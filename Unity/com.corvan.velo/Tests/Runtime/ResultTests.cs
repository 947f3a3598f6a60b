using System;
using System.Threading;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Results reach the game on the thread that dispatches them, typed, with their
    /// texts intact.</summary>
    [TestFixture]
    public class ResultTests : BindingTest
    {
        private const string Unicode = "\u00e9 \u65e5\u672c\u8a9e \U0001F3AE";

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
        public void NonAsciiTextsComeBackIntactInResultsAndReturnedTexts()
        {
            LoginResult login = null;
            ResultDispatcher.LoginResultReceived += r => login = r;
            var record = "{\"methodNameID\":5,\"user_name\":\"" + Unicode + "\",\"openid\":\"o\"}";
            Assert.IsTrue(VeloStandIn.Fire("login", record, false));
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
            Assert.IsNotNull(login);
            Assert.AreEqual(Unicode, login.UserName);

            VeloStandIn.SetLoginRet("{\"user_name\":\"" + Unicode + "\"}");
            Assert.AreEqual(Unicode, VeloAdapter.GetLoginRet().UserName);
            VeloStandIn.SetEncodeUrl(Unicode);
            Assert.AreEqual(Unicode, VeloAdapter.GetEncodeUrl("x"));
        }

        [Test]
        public void ResultsFromTheCoreThreadWaitForTheDispatchingThread()
        {
            var raisedOn = -1;
            ResultDispatcher.BaseResultReceived += r => raisedOn =
                Thread.CurrentThread.ManagedThreadId;
            Assert.IsTrue(VeloStandIn.Fire("base", "{\"methodNameID\":9,\"retCode\":0}", true));
            VeloStandIn.WaitForAnswers();
            Assert.AreEqual(1, ResultDispatcher.PendingCount);
            Assert.AreEqual(-1, raisedOn, "raised before anyone dispatched");
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
            Assert.AreEqual(Thread.CurrentThread.ManagedThreadId, raisedOn);
        }

        [Test]
        public void EveryKindIsRaisedAsItsType()
        {
            BaseResult baseResult = null;
            QrCodeResult qr = null;
            AccountResult account = null;
            NoticeResult notices = null;
            WebViewResult webView = null;
            ResultDispatcher.BaseResultReceived += r => baseResult = r;
            ResultDispatcher.QrCodeResultReceived += r => qr = r;
            ResultDispatcher.AccountResultReceived += r => account = r;
            ResultDispatcher.NoticeResultReceived += r => notices = r;
            ResultDispatcher.WebViewResultReceived += r => webView = r;

            VeloStandIn.Fire("base",
                             "{\"methodNameID\":1,\"retCode\":-2,\"extraJson\":\"{\\\"a\\\":1}\"}",
                             false);
            VeloStandIn.Fire("qrcode",
                             "{\"methodNameID\":2,\"channelID\":7,\"qrCodeUrl\":\"https://q\"}",
                             false);
            VeloStandIn.Fire(
                "account", "{\"methodNameID\":3,\"expiretime\":\"60s\",\"expire_time\":60}", false);
            VeloStandIn.Fire("notice",
                             "{\"methodNameID\":4,\"notice_list\":[{\"notice_id\":8," +
                                 "\"notice_text_obj\":{\"notice_title\":\"T\"}," +
                                 "\"notice_pic_list\":[{\"pic_size\":\"12\",\"pic_dir\":2}]}]}",
                             false);
            VeloStandIn.Fire("webview",
                             "{\"methodNameID\":5,\"msgType\":-1,\"embedProgress\":null}", false);
            Assert.AreEqual(5, ResultDispatcher.DispatchPending());

            Assert.AreEqual(-2, baseResult.RetCode);
            Assert.AreEqual("{\"a\":1}", baseResult.ExtraJson);
            Assert.AreEqual(7, qr.ChannelID);
            Assert.AreEqual("https://q", qr.QrCodeUrl);
            Assert.IsNull(qr.ExtraJson);
            Assert.AreEqual("60s", account.ExpireTime);
            Assert.AreEqual(60, account.ExpireTimeNumber);
            Assert.AreEqual(8, notices.Notices[0].Id);
            Assert.AreEqual("T", notices.Notices[0].Text.Title);
            Assert.AreEqual("12", notices.Notices[0].Pictures[0].Size);
            Assert.AreEqual(2, notices.Notices[0].Pictures[0].Dir);
            Assert.AreEqual(-1, webView.MsgType);
            Assert.IsTrue(float.IsNaN(webView.EmbedProgress), "a null progress reads as NaN");
        }

        [Test]
        public void TheCallbackSurvivesGarbageCollections()
        {
            for (var i = 0; i < 3; ++i)
            {
                GC.Collect();
                GC.WaitForPendingFinalizers();
            }
            Assert.IsTrue(VeloStandIn.Fire("base", "{\"methodNameID\":11}", true));
            VeloStandIn.WaitForAnswers();
            var raw = DispatchRaw();
            Assert.AreEqual(1, raw.Count);
            Assert.AreEqual(11, raw[0].Key);
        }

        [Test]
        public void AfterShutdownNothingIsDeliveredAndInitializeRegistersAgain()
        {
            VeloAdapter.Shutdown();
            VeloStandIn.Fire("base", "{\"methodNameID\":1}", false);
            Assert.AreEqual(0, ResultDispatcher.PendingCount);
            VeloAdapter.Initialize();
            VeloStandIn.Fire("base", "{\"methodNameID\":2}", false);
            Assert.AreEqual(1, ResultDispatcher.PendingCount);
        }

        [Test]
        public void AHandlersExceptionGoesToDispatchFailedAndTheRestIsStillDispatched()
        {
            Exception failure = null;
            var count = 0;
            ResultDispatcher.BaseResultReceived += r =>
            {
                if (++count == 1)
                {
                    throw new InvalidOperationException("handler");
                }
            };
            ResultDispatcher.DispatchFailed += e => failure = e;
            VeloStandIn.Fire("base", "{\"methodNameID\":1}", false);
            VeloStandIn.Fire("base", "{\"methodNameID\":2}", false);
            Assert.AreEqual(2, ResultDispatcher.DispatchPending());
            Assert.AreEqual(2, count);
            Assert.IsInstanceOf<InvalidOperationException>(failure);
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
