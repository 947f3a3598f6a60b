using System.Linq;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Every request reaches its core operation with each argument in its place. Every
    /// text and every number differs from its neighbours, so a declaration that swaps or drops a
    /// parameter fails.</summary>
    [TestFixture]
    public class ExportTests : BindingTest
    {
        [Test]
        public void EveryDeclaredFunctionIsCheckedAndExportedAndTheListsMatch()
        {
            var declared =
                typeof(NativeMethods)
                    .GetMethods(System.Reflection.BindingFlags.Static |
                                System.Reflection.BindingFlags.NonPublic)
                    .Where(m => m.IsDefined(
                               typeof(System.Runtime.InteropServices.DllImportAttribute), false))
                    .Select(m => m.Name)
                    .OrderBy(n => n, System.StringComparer.Ordinal)
                    .ToArray();
            Assert.AreEqual(
                declared,
                NativeLibraryCheck.EntryPoints.OrderBy(n => n, System.StringComparer.Ordinal)
                    .ToArray(),
                "the functions Initialize checks");
            Assert.IsEmpty(NativeLibraryCheck.MissingEntryPoints());
            var listFile = System.Environment.GetEnvironmentVariable("VELO_EXPORTS_FILE");
            if (listFile != null)
            {
                var exported = System.IO.File.ReadAllLines(listFile)
                                   .Where(line => !string.IsNullOrWhiteSpace(line))
                                   .OrderBy(n => n, System.StringComparer.Ordinal)
                                   .ToArray();
                Assert.AreEqual(exported, declared, "the adapter's export list");
            }
        }

        [Test]
        public void TheBindingReportsThePackagesVersion()
        {
            var manifest = System.Environment.GetEnvironmentVariable("VELO_PACKAGE_MANIFEST") ??
                           "Packages/com.corvan.velo/package.json";
            if (!System.IO.File.Exists(manifest))
            {
                Assert.Inconclusive("no package.json at " + manifest);
            }
            var package = Newtonsoft.Json.Linq.JObject.Parse(System.IO.File.ReadAllText(manifest));
            Assert.AreEqual((string)package["version"], VeloAdapter.Version);
        }

        [Test]
        public void LoginRequests()
        {
            VeloAdapter.Login("l1", null, "l3", "l4");
            ExpectSingleCall("Login", Text("l1"), Text(""), Text("l3"), Text("l4"));
            VeloStandIn.Reset();
            VeloAdapter.AutoLogin();
            ExpectSingleCall("AutoLogin");
            VeloStandIn.Reset();
            VeloAdapter.Logout("o1", "o2", true);
            ExpectSingleCall("Logout", Text("o1"), Text("o2"), Flag(true));
            VeloStandIn.Reset();
            VeloAdapter.Logout("o1", "o2", false);
            ExpectSingleCall("Logout", Text("o1"), Text("o2"), Flag(false));
            VeloStandIn.Reset();
            VeloAdapter.Bind("b1", "b2", "b3", "b4");
            ExpectSingleCall("Bind", Text("b1"), Text("b2"), Text("b3"), Text("b4"));
            VeloStandIn.Reset();
            VeloAdapter.CanBind("c1", "c2", "c3");
            ExpectSingleCall("CanBind", Text("c1"), Text("c2"), Text("c3"));
            VeloStandIn.Reset();
            VeloAdapter.LoginWithConfirmCode(-42, "w2", "w3");
            ExpectSingleCall("LoginWithConfirmCode", Int(-42), Text("w2"), Text("w3"));
            VeloStandIn.Reset();
            VeloAdapter.PreLoadParleyLibrary();
            ExpectSingleCall("PreLoadParleyLibrary");
            VeloStandIn.Reset();
            VeloAdapter.SetInstallChannel("store");
            ExpectSingleCall("SetInstallChannel", Text("store"));
            VeloStandIn.Reset();
            VeloAdapter.OnRealNameAuthFinished("r1", "r2", "r3", true);
            ExpectSingleCall("OnRealNameAuthFinished", Text("r1"), Text("r2"), Text("r3"),
                             Flag(true));
            VeloStandIn.Reset();
            VeloAdapter.UnInstall();
            ExpectSingleCall("UnInstall");
        }

        [Test]
        public void AccountRequests()
        {
            VeloAdapter.RequestVerifyCode("a1", "a2", -3, 4, "a5", "a6", "a7");
            ExpectSingleCall("RequestVerifyCode", Text("a1"), Text("a2"), Int(-3), Int(4),
                             Text("a5"), Text("a6"), Text("a7"));
            VeloStandIn.Reset();
            VeloAdapter.ResetPassword("p1", 2, "p3", "p4", "p5", 6, 7, "p8", "p9", "p10");
            ExpectSingleCall("ResetPassword", Text("p1"), Int(2), Text("p3"), Text("p4"),
                             Text("p5"), Int(6), Int(7), Text("p8"), Text("p9"), Text("p10"));
            VeloStandIn.Reset();
            VeloAdapter.Modify("m1", 2, "m3", 4, 5, 6, "m7", "m8", int.MinValue, "m10", "m11",
                               "m12", "m13");
            ExpectSingleCall("Modify", Text("m1"), Int(2), Text("m3"), Int(4), Int(5), Int(6),
                             Text("m7"), Text("m8"), Int(int.MinValue), Text("m10"), Text("m11"),
                             Text("m12"), Text("m13"));
            VeloStandIn.Reset();
            VeloAdapter.GetRegisterStatus("g1", "g2", 3, "g4", "g5", "g6");
            ExpectSingleCall("GetRegisterStatus", Text("g1"), Text("g2"), Int(3), Text("g4"),
                             Text("g5"), Text("g6"));
            VeloStandIn.Reset();
            VeloAdapter.GetVerifyCodeStatus("v1", "v2", 3, 4, 5, "v6", "v7", "v8");
            ExpectSingleCall("GetVerifyCodeStatus", Text("v1"), Text("v2"), Int(3), Int(4), Int(5),
                             Text("v6"), Text("v7"), Text("v8"));
            VeloStandIn.Reset();
            VeloAdapter.GetReceiveEmail("e1", "e2", -3, "e4", "e5", "e6");
            ExpectSingleCall("GetReceiveEmail", Text("e1"), Text("e2"), Int(-3), Text("e4"),
                             Text("e5"), Text("e6"));
            VeloStandIn.Reset();
            VeloAdapter.VerifyPassword("y1", "y2", "y3", 4, "y5", "y6", "y7");
            ExpectSingleCall("VerifyPassword", Text("y1"), Text("y2"), Text("y3"), Int(4),
                             Text("y5"), Text("y6"), Text("y7"));
        }

        [Test]
        public void NoticeWebViewAndSettingsRequests()
        {
            VeloStandIn.SetNoticeData("loaded");
            Assert.AreEqual("loaded", VeloAdapter.LoadNoticeData("n1", "n2", -3, "n4", "n5"));
            ExpectSingleCall("LoadNoticeData", Text("n1"), Text("n2"), Int(-3), Text("n4"),
                             Text("n5"));
            VeloStandIn.Reset();
            VeloAdapter.OpenUrl("u1", 2, true, false, "u5", true);
            ExpectSingleCall("OpenUrl", Text("u1"), Int(2), Flag(true), Flag(false), Text("u5"),
                             Flag(true));
            VeloStandIn.Reset();
            VeloAdapter.OpenUrl("u1", 2, false, true, "u5", false);
            ExpectSingleCall("OpenUrl", Text("u1"), Int(2), Flag(false), Flag(true), Text("u5"),
                             Flag(false));
            VeloStandIn.Reset();
            Assert.AreEqual("a%20b", VeloAdapter.GetEncodeUrl("a b"));
            ExpectSingleCall("GetEncodeUrl", Text("a b"));
            VeloStandIn.Reset();
            VeloAdapter.CallJS("f()");
            ExpectSingleCall("CallJS", Text("f()"));
            VeloStandIn.Reset();
            VeloAdapter.OpenOxaCenter("x1", "x2", "x3", "x4", "x5", "x6", -7, "x8");
            ExpectSingleCall("OpenOxaCenter", Text("x1"), Text("x2"), Text("x3"), Text("x4"),
                             Text("x5"), Text("x6"), Int(-7), Text("x8"));
            VeloStandIn.Reset();
            VeloAdapter.OpenDeleteAccountUrl("d1", 2, true, "d4");
            ExpectSingleCall("OpenDeleteAccountUrl", Text("d1"), Int(2), Flag(true), Text("d4"));
            VeloStandIn.Reset();
            VeloAdapter.Close();
            ExpectSingleCall("Close");
            VeloStandIn.Reset();
            VeloAdapter.SetLanguage(null);
            ExpectSingleCall("SetLanguage", CText(null));
            VeloStandIn.Reset();
            VeloAdapter.SetRegion("EU", null, "DE");
            ExpectSingleCall("SetRegion", CText("EU"), CText(null), CText("DE"));
        }
    }
}
