using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using NUnit.Framework;
using UnityApiStandIn;
using UnityEngine;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Sets of native libraries that cannot be used as they are, each laid out as a
    /// player has them (built by tests/CMakeLists.txt, nothing mocked): this suite's own program,
    /// run among each as a player, must fail at Initialize with the set's reason, and the message
    /// and the report of Diagnose must name every library and function at fault.</summary>
    public class LoadFailureTests
    {
        private static readonly bool Windows = RuntimeInformation.IsOSPlatform(OSPlatform.Windows);

        private static string Library(string name) => Windows ? name + ".dll" : "lib" + name + ".so";

        private static object[] Set(string folder, VeloErrorReason reason, params string[] names) =>
            new object[] { folder, reason, names };

        private static IEnumerable<object[]> Sets()
        {
            yield return Set("no-adapter", VeloErrorReason.LibraryMissing,
                             Library("VeloUnityAdapter"), "no-adapter");
            yield return Set("no-core", VeloErrorReason.CoreMissing, Library("VeloCore"),
                             "Add the real core's library", "no-core");
            yield return Set("core-needs-absent-library", VeloErrorReason.DependencyMissing,
                             Library("VeloAbsentLibrary"), "which VeloCore needs");
            yield return Windows
                ? Set("core-without-function", VeloErrorReason.CoreIncompatible,
                      "public: static bool __cdecl Corvan::Velo::VeloLogin::GetLoginRet(" +
                          "struct Corvan::Velo::VeloLoginRet &)",
                      "?GetLoginRet@VeloLogin@Velo@Corvan@@SA_NAEAUVeloLoginRet@23@@Z")
                : Set("core-without-function", VeloErrorReason.CoreIncompatible,
                      "Corvan::Velo::VeloLogin::GetLoginRet(Corvan::Velo::VeloLoginRet&)",
                      "_ZN6Corvan4Velo9VeloLogin11GetLoginRetERNS0_12VeloLoginRetE",
                      "undefined symbol");
            yield return Set("adapter-without-export", VeloErrorReason.LibraryOutdated,
                             "closeAdapter");
            yield return Set("adapter-of-another-release", VeloErrorReason.LibraryVersionMismatch,
                             "version 1.9.0", "this package's " + VeloAdapter.Version,
                             "restart the editor");
            if (Windows)
                yield return Set("runtime-absent", VeloErrorReason.DependencyMissing,
                                 "msvcp140.dll", "which VeloUnityAdapter and VeloCore need",
                                 "Install the Visual C++ 2015\u20132022 x64 runtime");
        }

        [TestCaseSource(nameof(Sets))]
        public void InitializeFailsWithTheReasonAndTheReportNamesWhatIsAtFault(
            string folder, VeloErrorReason reason, string[] names)
        {
            var sets = Environment.GetEnvironmentVariable("VELO_LOAD_FAILURES");
            Assert.IsNotNull(sets, "VELO_LOAD_FAILURES names the sets' folder");
            // Wine refuses msvcp140.dll to the player of that name, as if it were not there
            // (csharp-tests.sh sets it up).
            var output = RunAsPlayer(Path.GetFullPath(Path.Combine(sets, folder)),
                                     folder == "runtime-absent" ? "VeloPlayerWithoutRuntime.exe"
                                                                : "Corvan.Velo.Unity.Tests.exe");
            var parts = output.Split(new[] { "\n--\n" }, StringSplitOptions.None);
            Assert.AreEqual(2, parts.Length, output);
            StringAssert.StartsWith("Initialize: " + reason + "\n", parts[0], output);
            StringAssert.StartsWith("Corvan Velo " + VeloAdapter.Version +
                                        " native libraries: " + reason + "\n", parts[1]);
            foreach (var name in names)
            {
                StringAssert.Contains(name, parts[0], "the exception's message");
                StringAssert.Contains(name, parts[1], "the report");
            }
        }

        // The suite's program among the set, as a player: what it prints (PlayAsPlayer).
        private static string RunAsPlayer(string folder, string programName)
        {
            var program = Path.Combine(folder, programName);
            Assert.IsTrue(File.Exists(program), program + " (laid out by csharp-tests.sh)");
            var start = Windows ? new ProcessStartInfo(program, PlayerArgument)
                                : new ProcessStartInfo("mono", "\"" + program + "\" " + PlayerArgument);
            start.WorkingDirectory = folder;
            start.UseShellExecute = false;
            start.CreateNoWindow = true;
            start.RedirectStandardOutput = true;
            start.RedirectStandardError = true;
            start.StandardOutputEncoding = System.Text.Encoding.UTF8;
            using (var process = Process.Start(start))
            {
                var errors = process.StandardError.ReadToEndAsync();
                var output = process.StandardOutput.ReadToEndAsync();
                if (!process.WaitForExit(120000))
                {
                    process.Kill();
                    Assert.Fail("the player did not end");
                }
                Assert.AreEqual(0, process.ExitCode, output.Result + errors.Result);
                return output.Result.Replace("\r\n", "\n");
            }
        }

        internal const string PlayerArgument = "--as-player";

        /// <summary>What a player does: initialise and, if that succeeds, ask the core for the
        /// login snapshot; then print the reason and the message, "--", and the report.</summary>
        internal static int PlayAsPlayer()
        {
            // UTF-8 whatever the console's code page, which the player leaves alone.
            using (var output = new StreamWriter(Console.OpenStandardOutput(),
                                                 new System.Text.UTF8Encoding(false)))
            {
                try
                {
                    VeloAdapter.Initialize();
                    output.Write("Initialize: succeeded; the login snapshot: " +
                                 VeloLogin.TryGetLoginRet(out _) + "\n");
                    output.Flush();
                    VeloAdapter.Shutdown();
                }
                catch (VeloAdapterException e)
                {
                    output.Write("Initialize: " + e.Reason + "\n" + e.Message + "\n");
                }
                output.Write("--\n" + VeloAdapter.Diagnose());
            }
            return 0;
        }
    }

    /// <summary>The libraries this suite runs with, as Diagnose and the editor's menu report
    /// them.</summary>
    public class NativeLibraryReportTests
    {
        [Test]
        public void TheReportOfUsableLibrariesNamesTheirFilesAndVersions()
        {
            var report = VeloAdapter.Diagnose();
            Assert.IsTrue(report.IsUsable, report.ToString());
            Assert.AreEqual(new[] { "VeloUnityAdapter", "VeloCore" },
                            report.Libraries.Select(l => l.Name));
            foreach (var library in report.Libraries)
            {
                Assert.IsTrue(library.Found && library.Loaded, library.Name);
                Assert.IsTrue(File.Exists(library.Path), library.Path);
                Assert.AreEqual(VeloAdapter.Version, library.Version, library.Name);
                CollectionAssert.IsEmpty(library.Lacks);
            }
            Assert.AreEqual(new[] { "VeloUnityAdapter" }, report.Libraries[1].NeededBy);
        }

        [Test]
        public void TheEditorMenuLogsTheReport()
        {
            var menu = System.Reflection.Assembly.Load("Corvan.Velo.Unity.Editor")
                           .GetTypes()
                           .SelectMany(t => t.GetMethods(System.Reflection.BindingFlags.Static |
                                                         System.Reflection.BindingFlags.NonPublic))
                           .Single(m => m.GetCustomAttributes(typeof(UnityEditor.MenuItem), false)
                                            .Cast<UnityEditor.MenuItem>()
                                            .Any(i => i.menuItem == "Corvan Velo/Check native libraries"));
            Engine.Reset();
            menu.Invoke(null, null);
            var logged = (NativeLibraryReport)Engine.Log.Single();
            Assert.IsTrue(logged.IsUsable);
        }
    }

    /// <summary>Every C++ name the adapter imports from the core reads back as the toolchain's
    /// own demangler prints it (c++filt for the Itanium ABI, llvm-undname for MSVC's), and so do
    /// names of the shapes a core of another release may add.</summary>
    public class DemanglerTests
    {
        private static IEnumerable<string[]> Names()
        {
            yield return new[] {
                "?GetEncodeUrl@VeloWebView@Velo@Corvan@@SA?AV?$basic_string@DU?$char_traits@D@std@@" +
                    "V?$allocator@D@2@@std@@AEBUString@23@@Z",
                "public: static class std::basic_string<char, struct std::char_traits<char>, class " +
                    "std::allocator<char>> __cdecl Corvan::Velo::VeloWebView::GetEncodeUrl(struct " +
                    "Corvan::Velo::String const &)"
            };
            yield return new[] {
                "?PrintLog@VeloLog@Velo@Corvan@@QEAAXW4VeloLogLevel@23@PEAD1H1ZZ",
                "public: void __cdecl Corvan::Velo::VeloLog::PrintLog(enum Corvan::Velo::VeloLogLevel, " +
                    "char *, char *, int, char *, ...)"
            };
            yield return new[] { "?GetInstance@VeloLog@Velo@Corvan@@SAPEAV123@XZ",
                                 "public: static class Corvan::Velo::VeloLog * __cdecl " +
                                     "Corvan::Velo::VeloLog::GetInstance(void)" };
            yield return new[] { "?f@@YAXPEBDQEADAEAHPEAPEBD@Z",
                                 "void __cdecl f(char const *, char *const, int &, char const **)" };
            yield return new[] { "??1VeloLog@Velo@Corvan@@UEAA@XZ",
                                 "public: virtual __cdecl Corvan::Velo::VeloLog::~VeloLog(void)" };
            yield return new[] { "?g@N@@QEBA?BHXZ", "public: int const __cdecl N::g(void) const" };
            yield return new[] {
                "_ZN6Corvan4Velo10VeloNotice14LoadNoticeDataB5cxx11ERKNS0_6StringES4_iS4_S4_",
                "Corvan::Velo::VeloNotice::LoadNoticeData[abi:cxx11](Corvan::Velo::String const&, " +
                    "Corvan::Velo::String const&, int, Corvan::Velo::String const&, " +
                    "Corvan::Velo::String const&)"
            };
            yield return new[] { "_ZN6Corvan4Velo7VeloLog8PrintLogENS0_12VeloLogLevelEPcS3_iS3_z",
                                 "Corvan::Velo::VeloLog::PrintLog(Corvan::Velo::VeloLogLevel, " +
                                     "char*, char*, int, char*, ...)" };
            yield return new[] { "_Z1fPPKcRS_OiPVKi", "f(char const**, char const&, int&&, int const volatile*)" };
            yield return new[] { "_ZN1N1fESsNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE",
                                 "N::f(std::basic_string<char, std::char_traits<char>, " +
                                     "std::allocator<char> >, std::__cxx11::basic_string<char, " +
                                     "std::char_traits<char>, std::allocator<char> >)" };
            yield return new[] { "_ZNK1N1A1gIiEEvNS_1BIiEES3_", "void N::A::g<int>(N::B<int>, N::B<int>) const" };
            yield return new[] { "_ZN6Corvan4Velo7VeloLogD1Ev", "Corvan::Velo::VeloLog::~VeloLog()" };
            yield return new[] { "_ZTIN6Corvan4Velo17VeloLoginObserverE",
                                 "typeinfo for Corvan::Velo::VeloLoginObserver" };
            // Not of the shapes read: the name as it is linked.
            yield return new[] { "_ZN1N1fIiEEvT_", null };
            yield return new[] { "?x@@3HA", null };
            yield return new[] { "releaseTextAdapter", null };
        }

        [TestCaseSource(nameof(Names))]
        public void ANameOfEitherAbiReadsAsItsToolchainPrintsIt(string name, string declaration)
        {
            Assert.AreEqual(declaration, NativeLibraryDiagnosis.Demangle(name));
            Assert.AreEqual(declaration == null ? name : declaration + " (" + name + ")",
                            NativeLibraryDiagnosis.Declaration(name));
        }

        [Test]
        public void EveryNameTheAdapterImportsFromTheCoreReadsAsItsToolchainPrintsIt()
        {
            var imports = Environment.GetEnvironmentVariable("VELO_CORE_IMPORTS");
            Assert.IsNotNull(imports, "VELO_CORE_IMPORTS names tools/check-core.py --imports' list");
            var pairs = File.ReadAllLines(imports).Select(l => l.Split('\t')).ToList();
            Assert.GreaterOrEqual(pairs.Count, 33, "every operation of the core's facades");
            foreach (var pair in pairs)
                Assert.AreEqual(pair[1], NativeLibraryDiagnosis.Demangle(pair[0]), pair[0]);
        }
    }
}
