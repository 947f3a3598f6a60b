using System;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Every request reaches its core operation with each argument in its place, texts
    /// as UTF-8; returned texts are exact and released; the library is checked before use. Every
    /// text and number differs from its neighbours, so a swapped or dropped parameter fails.
    /// </summary>
    [TestFixture]
    public class RequestTests : BindingTest
    {
        private const string Unicode = "\u00e9 \u65e5\u672c\u8a9e \U0001F3AE";

        private static readonly object[][] Requests = {
            R(() => VeloLogin.Login(Unicode, null, "l3", "l4"), "Login", Unicode, "", "l3", "l4"),
            R(VeloLogin.AutoLogin, "AutoLogin"),
            R(() => VeloLogin.Logout("o1", "o2", true), "Logout", "o1", "o2", true),
            R(() => VeloLogin.Logout("o1", "o2", false), "Logout", "o1", "o2", false),
            R(() => VeloLogin.Bind("b1", "b2", "b3", "b4"), "Bind", "b1", "b2", "b3", "b4"),
            R(() => VeloLogin.CanBind("c1", "c2", "c3"), "CanBind", "c1", "c2", "c3"),
            R(() => VeloLogin.LoginWithConfirmCode(-42, "w2", "w3"), "LoginWithConfirmCode", -42,
              "w2", "w3"),
            R(VeloLogin.PreLoadParleyLibrary, "PreLoadParleyLibrary"),
            R(() => VeloLogin.SetInstallChannel("store"), "SetInstallChannel", "store"),
            R(() => VeloLogin.OnRealNameAuthFinished("r1", "r2", "r3", true),
              "OnRealNameAuthFinished", "r1", "r2", "r3", true),
            R(VeloLogin.UnInstall, "UnInstall"),
            R(() => VeloAccount.RequestVerifyCode("a1", "a2", -3, 4, "a5", "a6", "a7"),
              "RequestVerifyCode", "a1", "a2", -3, 4, "a5", "a6", "a7"),
            R(() => VeloAccount.ResetPassword("p1", 2, "p3", "p4", "p5", 6, 7, "p8", "p9", "p10"),
              "ResetPassword", "p1", 2, "p3", "p4", "p5", 6, 7, "p8", "p9", "p10"),
            R(() => VeloAccount.Modify("m1", 2, "m3", 4, 5, 6, "m7", "m8", int.MinValue, "m10",
                                       "m11", "m12", "m13"),
              "Modify", "m1", 2, "m3", 4, 5, 6, "m7", "m8", int.MinValue, "m10", "m11", "m12",
              "m13"),
            R(() => VeloAccount.GetRegisterStatus("g1", "g2", 3, "g4", "g5", "g6"),
              "GetRegisterStatus", "g1", "g2", 3, "g4", "g5", "g6"),
            R(() => VeloAccount.GetVerifyCodeStatus("v1", "v2", 3, 4, 5, "v6", "v7", "v8"),
              "GetVerifyCodeStatus", "v1", "v2", 3, 4, 5, "v6", "v7", "v8"),
            R(() => VeloAccount.GetReceiveEmail("e1", "e2", -3, "e4", "e5", "e6"),
              "GetReceiveEmail", "e1", "e2", -3, "e4", "e5", "e6"),
            R(() => VeloAccount.VerifyPassword("y1", "y2", "y3", 4, "y5", "y6", "y7"),
              "VerifyPassword", "y1", "y2", "y3", 4, "y5", "y6", "y7"),
            R(() => VeloNotice.LoadNoticeData("n1", "n2", -3, "n4", "n5"), "LoadNoticeData", "n1",
              "n2", -3, "n4", "n5"),
            R(() => VeloWebView.OpenUrl("u1", 2, true, false, "u5", true), "OpenUrl", "u1", 2, true,
              false, "u5", true),
            R(() => VeloWebView.OpenUrl("u1", 2, false, true, "u5", false), "OpenUrl", "u1", 2,
              false, true, "u5", false),
            R(() => VeloWebView.GetEncodeUrl("a b"), "GetEncodeUrl", "a b"),
            R(() => VeloWebView.CallJS("f()"), "CallJS", "f()"),
            R(() => VeloWebView.OpenOxaCenter("x1", "x2", "x3", "x4", "x5", "x6", -7, "x8"),
              "OpenOxaCenter", "x1", "x2", "x3", "x4", "x5", "x6", -7, "x8"),
            R(() => VeloWebView.OpenDeleteAccountUrl("d1", 2, true, "d4"), "OpenDeleteAccountUrl",
              "d1", 2, true, "d4"),
            R(VeloWebView.Close, "Close"),
            R(() => VeloTools.SetLanguage(Unicode), "SetLanguage", CText(Unicode)),
            R(() => VeloTools.SetLanguage(null), "SetLanguage", CText(null)),
            R(() => VeloTools.SetRegion("EU", null, "DE"), "SetRegion", CText("EU"), CText(null),
              CText("DE")),
        };

        private static object[] R(Action request, string operation, params object[] args)
        {
            return new object[] { request, operation, args };
        }

        [TestCaseSource(nameof(Requests))]
        public void EachRequestReachesItsOperationWithItsArguments(Action request, string operation,
                                                                   object[] args)
        {
            request();
            ExpectSingleCall(operation, args);
            VeloAdapter.Shutdown();
            Assert.Throws<InvalidOperationException>(() => request(), "after Shutdown");
        }

        [Test]
        public void EveryDeclaredFunctionIsCheckedAndExportedAndTheVersionIsThePackages()
        {
            var declared = typeof(NativeMethods)
                               .GetMethods(BindingFlags.Static | BindingFlags.NonPublic)
                               .Where(m => m.IsDefined(typeof(DllImportAttribute), false))
                               .Select(m => m.Name)
                               .OrderBy(n => n, StringComparer.Ordinal);
            Assert.AreEqual(declared,
                            NativeLibraryCheck.EntryPoints.OrderBy(n => n, StringComparer.Ordinal));
            Assert.IsEmpty(NativeLibraryCheck.MissingEntryPoints());
            var exports = Environment.GetEnvironmentVariable("VELO_EXPORTS_FILE");
            var manifest = Environment.GetEnvironmentVariable("VELO_PACKAGE_MANIFEST") ??
                           "Packages/com.corvan.velo/package.json";
            if (exports != null)
                Assert.AreEqual(File.ReadAllLines(exports)
                                    .Where(line => !string.IsNullOrWhiteSpace(line))
                                    .OrderBy(n => n, StringComparer.Ordinal),
                                declared, "the adapter's export list");
            Assert.AreEqual(
                (string)Newtonsoft.Json.Linq.JObject.Parse(File.ReadAllText(manifest))["version"],
                VeloAdapter.Version);
        }

        [Test]
        public void ReturnedTextsAreExactAndReleasedWithTheAdaptersHeap()
        {
            VeloStandIn.SetNoticeData(Unicode);
            Assert.AreEqual(Unicode, VeloNotice.LoadNoticeData("a", "b", 1, "c", "d"));
            Assert.AreEqual("a%20b", VeloWebView.GetEncodeUrl("a b"));
            // 400 texts of 2 MiB: 800 MiB held if they were not released.
            VeloStandIn.SetEncodeUrl(new string('x', 2 << 20));
            var before = Process.GetCurrentProcess().WorkingSet64;
            for (var i = 0; i < 400; ++i)
                Assert.AreEqual(2 << 20, VeloWebView.GetEncodeUrl("u").Length);
            GC.Collect();
            var grown = Process.GetCurrentProcess().WorkingSet64 - before;
            Assert.Less(grown, 256L << 20, "resident memory grew by " + (grown >> 20) + " MiB");
        }

        [Test]
        public void EachErrorHasItsReasonAndNoFailureHidesAnother()
        {
            ResultDispatcher.Reset(); // no DispatchFailed handler: thrown once the call is done
            Receive(7, "[1]");
            VeloLogin.EnvelopeResultReceived += r => throw new FormatException("game");
            FireBase(1);
            var thrown =
                Assert.Throws<VeloAdapterException>(() => ResultDispatcher.DispatchPending());
            var failures = ((AggregateException)thrown.InnerException).InnerExceptions;
            Assert.AreEqual(
                new[] { VeloErrorReason.ResultUnreadable, VeloErrorReason.HandlerFailed },
                failures.Select(e => ((VeloAdapterException)e).Reason));
            Assert.AreEqual("game", failures[1].InnerException.Message);
            Assert.AreEqual(
                new[] { VeloErrorReason.LibraryMissing, VeloErrorReason.CoreMissing,
                        VeloErrorReason.LibraryOutdated },
                new Exception[] { new DllNotFoundException(), new DllNotFoundException(),
                                  new EntryPointNotFoundException() }
                    .Select((e, i) => NativeLibraryCheck.LoadFailure(e, i != 1).Reason));
            StringAssert.Contains(
                "Add the real core's library",
                NativeLibraryCheck.LoadFailure(new DllNotFoundException(), false).Message);
        }
    }
}
