using System;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Linq.Expressions;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Every request reaches the core operation of its name with each argument in its
    /// place: texts as UTF-8, a String for the facades' texts (null is empty), a C text for the
    /// tools' (null stays null); returned texts are exact and released; the library is checked
    /// before use. Every argument differs from its neighbours, so a swapped or dropped one fails.
    /// </summary>
    public class RequestTests : BindingTest
    {
        private static readonly Expression<Action>[] Requests = {
            () => VeloLogin.Login(Unicode, null, "l3", "l4"),
            () => VeloLogin.AutoLogin(),
            () => VeloLogin.Logout("o1", "o2", true),
            () => VeloLogin.Logout("o1", "o2", false),
            () => VeloLogin.Bind("b1", "b2", "b3", "b4"),
            () => VeloLogin.CanBind("c1", "c2", "c3"),
            () => VeloLogin.LoginWithConfirmCode(-42, "w2", "w3"),
            () => VeloLogin.PreLoadParleyLibrary(),
            () => VeloLogin.SetInstallChannel("store"),
            () => VeloLogin.OnRealNameAuthFinished("r1", "r2", "r3", true),
            () => VeloLogin.UnInstall(),
            () => VeloAccount.RequestVerifyCode("a1", "a2", -3, 4, "a5", "a6", "a7"),
            () => VeloAccount.ResetPassword("p1", 2, "p3", "p4", "p5", 6, 7, "p8", "p9", "p10"),
            () => VeloAccount.Modify("m1", 2, "m3", 4, 5, 6, "m7", "m8", int.MinValue, "m10", "m11",
                                     "m12", "m13"),
            () => VeloAccount.GetRegisterStatus("g1", "g2", 3, "g4", "g5", "g6"),
            () => VeloAccount.GetVerifyCodeStatus("v1", "v2", 3, 4, 5, "v6", "v7", "v8"),
            () => VeloAccount.GetReceiveEmail("e1", "e2", -3, "e4", "e5", "e6"),
            () => VeloAccount.VerifyPassword("y1", "y2", "y3", 4, "y5", "y6", "y7"),
            () => VeloNotice.LoadNoticeData("n1", "n2", -3, "n4", "n5"),
            () => VeloWebView.OpenUrl("u1", 2, true, false, "u5", true),
            () => VeloWebView.OpenUrl("u1", 2, false, true, "u5", false),
            () => VeloWebView.GetEncodeUrl("a b"),
            () => VeloWebView.CallJS("f()"),
            () => VeloWebView.OpenOxaCenter("x1", "x2", "x3", "x4", "x5", "x6", -7, "x8"),
            () => VeloWebView.OpenDeleteAccountUrl("d1", 2, true, "d4"),
            () => VeloWebView.Close(),
            () => VeloTools.SetLanguage(Unicode),
            () => VeloTools.SetLanguage(null),
            () => VeloTools.SetRegion("EU", null, "DE")
        };

        [TestCaseSource(nameof(Requests))]
        public void EachRequestReachesItsOperationWithItsArguments(Expression<Action> request)
        {
            var call = (MethodCallExpression)request.Body;
            var args = call.Arguments.Select(a => ((ConstantExpression)a).Value).ToArray();
            var cText = call.Method.DeclaringType == typeof(VeloTools);
            call.Method.Invoke(null, args);
            var received = VeloStandIn.Calls().Single();
            Assert.AreEqual(call.Method.Name, received.Operation);
            Assert.AreEqual(
                args.Select(a => a is int || a is bool ? a
                                 : cText               ? new[] { "ctext", (string)a }
                                                       : new[] { "text", (string)a ?? "" }),
                received.Arguments.Select(
                    r => r.Kind == "int" ? r.Int
                         : r.Kind == "flag"
                             ? (object)r.Flag
                             : new[] { r.Kind,
                                       r.IsNull ? null : Encoding.UTF8.GetString(r.Bytes) }));
            Assert.IsTrue(received.Arguments.All(r => r.Kind != "text" ||
                                                      r.Bytes.Length == r.Length && r.Terminated),
                          "Strings of their UTF-8 length, zero-terminated");
            VeloAdapter.Shutdown();
            Assert.IsInstanceOf<InvalidOperationException>(
                Assert.Throws<TargetInvocationException>(() => call.Method.Invoke(null, args))
                    .InnerException,
                "after Shutdown");
        }

        [Test]
        public void EveryDeclaredFunctionIsCheckedAndExportedAndTheVersionIsThePackages()
        {
            var declared = typeof(NativeMethods)
                               .GetMethods(BindingFlags.Static | BindingFlags.NonPublic)
                               .Where(m => m.IsDefined(typeof(DllImportAttribute), false))
                               .Select(m => m.Name)
                               .ToList();
            CollectionAssert.AreEquivalent(declared, NativeLibraryCheck.EntryPoints);
            Assert.IsEmpty(NativeLibraryCheck.MissingEntryPoints());
            var exports = Environment.GetEnvironmentVariable("VELO_EXPORTS_FILE");
            var manifest = Environment.GetEnvironmentVariable("VELO_PACKAGE_MANIFEST") ??
                           "Packages/com.corvan.velo/package.json";
            if (exports != null)
                CollectionAssert.AreEquivalent(
                    File.ReadAllLines(exports).Where(n => n.Trim() != ""), declared,
                    "the adapter's export list");
            Assert.AreEqual(
                new[] { VeloErrorReason.LibraryMissing, VeloErrorReason.CoreMissing,
                        VeloErrorReason.LibraryOutdated },
                new Exception[] { new DllNotFoundException(), new DllNotFoundException(),
                                  new EntryPointNotFoundException() }
                    .Select((e, i) => NativeLibraryCheck.LoadFailure(e, i != 1).Reason));
            StringAssert.Contains(
                "Add the real core's library",
                NativeLibraryCheck.LoadFailure(new DllNotFoundException(), false).Message);
            Assert.AreEqual(
                (string)Newtonsoft.Json.Linq.JObject.Parse(File.ReadAllText(manifest))["version"],
                VeloAdapter.Version);
        }

        [Test]
        public void ReturnedTextsAreExactAndReleasedWithTheAdaptersHeap()
        {
            VeloStandIn.SetNoticeData(Unicode);
            Assert.AreEqual(Unicode, VeloNotice.LoadNoticeData("a", "b", 1, "c", "d"));
            // 400 texts of 2 MiB: 800 MiB held if they were not released.
            VeloStandIn.SetEncodeUrl(new string('x', 2 << 20));
            var before = Process.GetCurrentProcess().WorkingSet64;
            for (var i = 0; i < 400; ++i)
                Assert.AreEqual(2 << 20, VeloWebView.GetEncodeUrl("u").Length);
            GC.Collect();
            var grown = Process.GetCurrentProcess().WorkingSet64 - before;
            Assert.Less(grown, 256L << 20, "resident memory grew by " + (grown >> 20) + " MiB");
        }
    }
}
