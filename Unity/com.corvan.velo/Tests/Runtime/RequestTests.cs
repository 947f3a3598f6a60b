using System;
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
            R(() => VeloLogin.Login(Unicode, null, "l3", "l4"), "Login", Text(Unicode), Text(""),
              Text("l3"), Text("l4")),
            R(VeloLogin.AutoLogin, "AutoLogin"),
            R(() => VeloLogin.Logout("o1", "o2", true), "Logout", Text("o1"), Text("o2"), true),
            R(() => VeloLogin.Logout("o1", "o2", false), "Logout", Text("o1"), Text("o2"), false),
            R(() => VeloLogin.Bind("b1", "b2", "b3", "b4"), "Bind", Text("b1"), Text("b2"),
              Text("b3"), Text("b4")),
            R(() => VeloLogin.CanBind("c1", "c2", "c3"), "CanBind", Text("c1"), Text("c2"),
              Text("c3")),
            R(() => VeloLogin.LoginWithConfirmCode(-42, "w2", "w3"), "LoginWithConfirmCode", -42,
              Text("w2"), Text("w3")),
            R(VeloLogin.PreLoadParleyLibrary, "PreLoadParleyLibrary"),
            R(() => VeloLogin.SetInstallChannel("store"), "SetInstallChannel", Text("store")),
            R(() => VeloLogin.OnRealNameAuthFinished("r1", "r2", "r3", true),
              "OnRealNameAuthFinished", Text("r1"), Text("r2"), Text("r3"), true),
            R(VeloLogin.UnInstall, "UnInstall"),
            R(() => VeloAccount.RequestVerifyCode("a1", "a2", -3, 4, "a5", "a6", "a7"),
              "RequestVerifyCode", Text("a1"), Text("a2"), -3, 4, Text("a5"), Text("a6"),
              Text("a7")),
            R(() => VeloAccount.ResetPassword("p1", 2, "p3", "p4", "p5", 6, 7, "p8", "p9", "p10"),
              "ResetPassword", Text("p1"), 2, Text("p3"), Text("p4"), Text("p5"), 6, 7, Text("p8"),
              Text("p9"), Text("p10")),
            R(() => VeloAccount.Modify("m1", 2, "m3", 4, 5, 6, "m7", "m8", int.MinValue, "m10",
                                       "m11", "m12", "m13"),
              "Modify", Text("m1"), 2, Text("m3"), 4, 5, 6, Text("m7"), Text("m8"), int.MinValue,
              Text("m10"), Text("m11"), Text("m12"), Text("m13")),
            R(() => VeloAccount.GetRegisterStatus("g1", "g2", 3, "g4", "g5", "g6"),
              "GetRegisterStatus", Text("g1"), Text("g2"), 3, Text("g4"), Text("g5"), Text("g6")),
            R(() => VeloAccount.GetVerifyCodeStatus("v1", "v2", 3, 4, 5, "v6", "v7", "v8"),
              "GetVerifyCodeStatus", Text("v1"), Text("v2"), 3, 4, 5, Text("v6"), Text("v7"),
              Text("v8")),
            R(() => VeloAccount.GetReceiveEmail("e1", "e2", -3, "e4", "e5", "e6"),
              "GetReceiveEmail", Text("e1"), Text("e2"), -3, Text("e4"), Text("e5"), Text("e6")),
            R(() => VeloAccount.VerifyPassword("y1", "y2", "y3", 4, "y5", "y6", "y7"),
              "VerifyPassword", Text("y1"), Text("y2"), Text("y3"), 4, Text("y5"), Text("y6"),
              Text("y7")),
            R(() => VeloNotice.LoadNoticeData("n1", "n2", -3, "n4", "n5"), "LoadNoticeData",
              Text("n1"), Text("n2"), -3, Text("n4"), Text("n5")),
            R(() => VeloWebView.OpenUrl("u1", 2, true, false, "u5", true), "OpenUrl", Text("u1"), 2,
              true, false, Text("u5"), true),
            R(() => VeloWebView.OpenUrl("u1", 2, false, true, "u5", false), "OpenUrl", Text("u1"),
              2, false, true, Text("u5"), false),
            R(() => VeloWebView.GetEncodeUrl("a b"), "GetEncodeUrl", Text("a b")),
            R(() => VeloWebView.CallJS("f()"), "CallJS", Text("f()")),
            R(() => VeloWebView.OpenOxaCenter("x1", "x2", "x3", "x4", "x5", "x6", -7, "x8"),
              "OpenOxaCenter", Text("x1"), Text("x2"), Text("x3"), Text("x4"), Text("x5"),
              Text("x6"), -7, Text("x8")),
            R(() => VeloWebView.OpenDeleteAccountUrl("d1", 2, true, "d4"), "OpenDeleteAccountUrl",
              Text("d1"), 2, true, Text("d4")),
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
            {
                Assert.AreEqual(File.ReadAllLines(exports)
                                    .Where(line => !string.IsNullOrWhiteSpace(line))
                                    .OrderBy(n => n, StringComparer.Ordinal),
                                declared, "the adapter's export list");
            }
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
            var before = ResidentBytes();
            for (var i = 0; i < 400; ++i)
            {
                Assert.AreEqual(2 << 20, VeloWebView.GetEncodeUrl("u").Length);
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

        [Test]
        public void EachErrorHasItsReason()
        {
            var reasons = new[] {
                NativeLibraryCheck.LoadFailure(new DllNotFoundException(), true).Reason,
                NativeLibraryCheck.LoadFailure(new DllNotFoundException(), false).Reason,
                NativeLibraryCheck.LoadFailure(new EntryPointNotFoundException(), true).Reason,
                Dispatched(() => Receive(7, "[1]")).Reason,
                Dispatched(() =>
                           {
                               VeloLogin.EnvelopeResultReceived += r =>
                                   throw new FormatException("game");
                               FireBase(1);
                           })
                    .Reason,
            };
            Assert.AreEqual(new[] { VeloErrorReason.LibraryMissing, VeloErrorReason.CoreMissing,
                                    VeloErrorReason.LibraryOutdated,
                                    VeloErrorReason.ResultUnreadable,
                                    VeloErrorReason.HandlerFailed },
                            reasons);
            StringAssert.Contains(
                "Add the real core's library",
                NativeLibraryCheck.LoadFailure(new DllNotFoundException(), false).Message);
        }

        // What a dispatch with no DispatchFailed handler throws.
        private static VeloAdapterException Dispatched(Action queue)
        {
            ResultDispatcher.Reset();
            queue();
            return Assert.Throws<VeloAdapterException>(() => ResultDispatcher.DispatchPending());
        }
    }
}
