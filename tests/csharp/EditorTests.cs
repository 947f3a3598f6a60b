using System;
using System.IO;
using System.Linq;
using System.Reflection;
using Corvan.Velo.Unity.Editor;
using NUnit.Framework;
using Newtonsoft.Json.Linq;
using UnityApiStandIn;
using UnityEditor;
using UnityEngine;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>The package's editor assembly, with the stand-in editor playing the editor's
    /// part: the Project Settings page and the file it keeps, play mode playing the chosen
    /// scenario and recording the session, the session window's model; and that the assembly
    /// is the editor's alone.</summary>
    public class EditorTests
    {
        private static readonly Assembly EditorAssembly = typeof(SessionConsole).Assembly;

        /// <summary>The package's folder: beside the manifest the test run names, or where
        /// Unity puts it.</summary>
        internal static string PackageFolder => Path.GetDirectoryName(
            Path.GetFullPath(Environment.GetEnvironmentVariable("VELO_PACKAGE_MANIFEST") ??
                             "Packages/com.corvan.velo/package.json"));

        private const string AnsweringScenario =
            "{\"scenario\": 1, \"rules\": [{\"operation\": \"VeloLogin.AutoLogin\", " +
            "\"answer\": [{\"kind\": \"base\", \"record\": {\"methodNameID\": 7}}]}]}";

        [SetUp]
        public void NewProject()
        {
            Engine.RunInitializers(RuntimeInitializeLoadType.SubsystemRegistration,
                                   typeof(VeloAdapter).Assembly);
            Engine.Reset();
            Engine.ProjectFolder =
                Path.Combine(Path.GetTempPath(), "velo-project-" + Guid.NewGuid());
            Directory.CreateDirectory(Path.Combine(Engine.ProjectFolder, "Assets/Scenarios"));
            UnityApiStandIn.Editor.ReloadScripts(EditorAssembly);
            VeloStandIn.Reset();
        }

        [TearDown]
        public void CloseProject()
        {
            UnityApiStandIn.Editor.SetPlayMode(false);
            Engine.RunInitializers(RuntimeInitializeLoadType.SubsystemRegistration,
                                   typeof(VeloAdapter).Assembly);
            Engine.Reset();
            VeloScenario.StopRecording();
            VeloStandIn.Reset();
            Directory.Delete(Engine.ProjectFolder, true);
        }

        private static string Asset(string name, string text)
        {
            var path = Path.Combine(Engine.ProjectFolder, "Assets/Scenarios", name);
            File.WriteAllText(path, text);
            return path;
        }

        [Test]
        public void TheSettingsPageKeepsItsChoiceInTheProjectSettingsFileAndRefusesABadFile()
        {
            var page = (VeloSettingsProvider)UnityApiStandIn.Editor.SettingsPage(
                "Project/Corvan Velo", EditorAssembly);
            Assert.AreEqual(SettingsScope.Project, page.scope);
            page.Choose(Asset("answers.json", AnsweringScenario));
            Assert.IsNull(page.Error);
            UnityApiStandIn.Editor.ReloadScripts(EditorAssembly);
            Assert.AreEqual("Assets/Scenarios/answers.json", VeloProjectSettings.instance.Scenario);
            StringAssert.Contains(
                "Assets/Scenarios/answers.json",
                File.ReadAllText(Path.Combine(Engine.ProjectFolder,
                                              "ProjectSettings/CorvanVeloSettings.asset")));

            var bad = Asset("bad.json", "{\"scenario\": 1, \"rules\": [{\"answer\": \"drop\"}]}");
            page.Choose(bad);
            Assert.AreEqual(Path.GetFullPath(bad) + ":1:27: in rules[0]: expected \"operation\", " +
                                "the core operation the rule answers",
                            page.Error);
            Assert.AreEqual("Assets/Scenarios/answers.json", VeloProjectSettings.instance.Scenario,
                            "the choice stays");
            page.OnGUI("");

            page.Choose(null);
            VeloProjectSettings.instance.RecordSessions = false;
            UnityApiStandIn.Editor.ReloadScripts(EditorAssembly);
            Assert.AreEqual("", VeloProjectSettings.instance.Scenario);
            Assert.IsFalse(VeloProjectSettings.instance.RecordSessions);
        }

        [Test]
        public void PlayModePlaysTheChosenScenarioAndRecordsTheSessionWithOrWithoutADomainReload()
        {
            Assert.IsTrue(VeloProjectSettings.instance.TryChoose(
                              Asset("answers.json", AnsweringScenario), out var error),
                          error);
            foreach (var reload in new[] { false, true })
            {
                UnityApiStandIn.Editor.SetPlayMode(true, reload ? new[] { EditorAssembly }
                                                                : new Assembly[0]);
                Assert.IsTrue(VeloScenario.IsRecording, "reload: " + reload);
                VeloAdapter.Initialize();
                VeloLogin.AutoLogin();
                VeloStandIn.WaitForAnswers();
                var session = new System.Collections.Generic.List<VeloScenario.Entry>();
                VeloScenario.CopyEntries(0, session);
                Assert.AreEqual(new[] { "VeloLogin.AutoLogin", null },
                                session.Select(e => e.Operation), "reload: " + reload);
                Assert.AreEqual(7, session[1].MethodNameID);
                Assert.AreEqual(1, ResultDispatcher.DispatchPending());

                UnityApiStandIn.Editor.SetPlayMode(false);
                Assert.IsFalse(VeloScenario.IsRecording);
                VeloLogin.AutoLogin();
                VeloStandIn.WaitForAnswers();
                Assert.AreEqual(0, ResultDispatcher.DispatchPending(), "the scenario stopped");
                Assert.AreEqual(2, VeloScenario.Count, "kept for the window, and no more");
                VeloAdapter.Shutdown();
            }
        }

        [Test]
        public void TheSessionWindowShowsTheSessionAsItRunsFiltersCopiesAndSaves()
        {
            var console = new SessionConsole();
            VeloAdapter.Initialize();
            VeloStandIn.SetManualClock(true);
            VeloStandIn.SetAnswering(true);
            VeloScenario.StartRecording();
            Assert.IsFalse(console.Refresh());
            VeloLogin.Login("Guest", "pw", "", "");
            VeloWebView.OpenUrl("u", 7, true, false, "", false);
            Assert.IsTrue(console.Refresh());
            Assert.AreEqual(new[] { "VeloLogin.Login(\"Guest\", \"pw\", \"\", \"\")",
                                    "VeloWebView.OpenUrl(\"u\", 7, true, false, \"\", false)" },
                            console.Rows.Select(r => r.What));
            Assert.IsTrue(VeloStandIn.AdvanceClock(20));
            Assert.IsTrue(console.Refresh());
            Assert.IsFalse(console.Refresh(), "nothing new");
            Assert.AreEqual(new[] { "0.000", "0.000", "0.020", "0.020", "0.020" },
                            console.Rows.Select(r => r.Time));
            Assert.AreEqual(new[] { "101", "401", "401" },
                            console.Rows.Skip(2).Select(r => r.What));
            StringAssert.StartsWith("{\"methodNameID\":101,", console.Rows[2].Text);

            console.Filter = "MSGTYPE";
            Assert.AreEqual(new[] { "401", "401" }, console.Rows.Select(r => r.What));
            Assert.AreEqual(string.Join("\n", console.Rows.Select(r => "0.020\t401\t" + r.Text)),
                            console.Copy());
            var saved = Path.Combine(Engine.ProjectFolder, "Assets/session.json");
            console.SaveAsScenario(saved, false);
            Assert.AreEqual(VeloScenario.ToScenario(), File.ReadAllText(saved));
            Assert.AreEqual(2, ((JArray)JObject.Parse(File.ReadAllText(saved))["rules"]).Count,
                            "every request, not only the rows shown");
            Assert.IsTrue(VeloStandIn.PlayScenarioFile(saved), VeloStandIn.LastError);

            var window = VeloSessionWindow.CreateInstance<VeloSessionWindow>();
            foreach (var message in new[] { "Update", "OnGUI" })
                typeof(VeloSessionWindow)
                    .GetMethod(message, BindingFlags.Instance | BindingFlags.NonPublic)
                    .Invoke(window, null);

            VeloScenario.StartRecording();
            Assert.IsTrue(console.Refresh(), "a new recording");
            CollectionAssert.IsEmpty(console.Rows);
        }

        [Test]
        public void TheScenarioSchemaNamesEveryOperationOfTheBindingsFacades()
        {
            var schema = JObject.Parse(File.ReadAllText(
                Path.Combine(PackageFolder, "Documentation~/scenario.schema.json")));
            var facades = new[] { typeof(VeloLogin), typeof(VeloAccount), typeof(VeloNotice),
                                  typeof(VeloWebView), typeof(VeloTools) };
            CollectionAssert.AreEquivalent(
                facades.SelectMany(f => f.GetMethods(BindingFlags.Public | BindingFlags.Static |
                                                     BindingFlags.DeclaredOnly))
                    .Where(m => !m.IsSpecialName)
                    .Select(m => m.DeclaringType.Name + "." + m.Name.Replace("TryGet", "Get")),
                schema["definitions"]["rule"]["properties"]["operation"]["enum"]
                    .Values<string>());
        }

        [Test]
        public void TheEditorAssemblyIsTheEditorsAlone()
        {
            var definition = JObject.Parse(File.ReadAllText(
                Path.Combine(PackageFolder, "Editor/Corvan.Velo.Unity.Editor.asmdef")));
            Assert.AreEqual(new[] { "Editor" }, definition["includePlatforms"].Values<string>());
            Assert.AreEqual(EditorAssembly.GetName().Name, (string)definition["name"]);
            CollectionAssert.DoesNotContain(
                typeof(VeloAdapter).Assembly.GetReferencedAssemblies().Select(a => a.Name),
                EditorAssembly.GetName().Name);
        }
    }
}
