using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Runtime.InteropServices;
using System.Threading;
using System.Threading.Tasks;
using Corvan.Velo.Unity.Samples;
using NUnit.Framework;
using UnityApiStandIn;
using UnityEngine;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>The binding's life in Unity, with the stand-in engine playing the engine's part:
    /// frames, scenes, quitting, script reloads, edit and play mode, with and without a domain
    /// reload; and the package's sample, driven frame by frame.</summary>
    public class LifecycleTests
    {
        private readonly List<int> dispatched = new List<int>();

        [SetUp]
        public void EnterPlayMode()
        {
            LeavePlayMode();
            dispatched.Clear();
            Engine.SetPlaying(true);
        }

        [TearDown]
        public void LeavePlayMode()
        {
            EnterPlayModeWithoutDomainReload();
            Engine.Reset();
            VeloStandIn.Reset();
        }

        private static void EnterPlayModeWithoutDomainReload()
        {
            Engine.RunInitializers(RuntimeInitializeLoadType.SubsystemRegistration,
                                   typeof(VeloAdapter).Assembly);
            Engine.SetPlaying(true);
        }

        private void Initialize()
        {
            VeloAdapter.Initialize();
            VeloLogin.EnvelopeResultReceived += r => dispatched.Add(r.MethodNameID);
        }

        [Test]
        public void OneHiddenPumpKeptAcrossScenesDispatchesWithinEachFramesBound()
        {
            Initialize();
            var pump = Engine.GameObjects.Single();
            Assert.AreEqual(HideFlags.HideAndDontSave, pump.hideFlags);
            BindingTest.FireBase(1);
            CollectionAssert.IsEmpty(dispatched, "nothing before a frame");
            Engine.Frame();
            Assert.AreEqual(new[] { 1 }, dispatched);
            Engine.LoadScene();
            Assert.AreEqual(new[] { pump }, Engine.GameObjects, "kept across scenes");
            ResultDispatcher.MaxResultsPerFrame = 2;
            BindingTest.FireBase(2, 3, 4, 5, 6);
            Engine.Frame();
            Assert.AreEqual(new[] { 1, 2, 3 }, dispatched);
            Engine.Frame();
            Engine.Frame();
            Assert.AreEqual(new[] { 1, 2, 3, 4, 5, 6 }, dispatched);
            VeloAdapter.Shutdown();
            VeloAdapter.Initialize();
            Assert.AreEqual(new[] { pump }, Engine.GameObjects,
                            "initialising again makes no second pump");
            VeloLogin.EnvelopeResultReceived += r => throw new InvalidOperationException("game");
            BindingTest.FireBase(7);
            Engine.Frame();
            Assert.AreEqual(
                "game", Engine.Log.OfType<VeloAdapterException>().Single().InnerException.Message,
                "logged, not thrown into the engine");
            EnterPlayModeWithoutDomainReload();
            Assert.IsFalse(pump, "entering play mode again destroys the pump");
            dispatched.Clear();
            Initialize();
            BindingTest.FireBase(8);
            Engine.Frame();
            Assert.AreEqual(new[] { 8 }, dispatched, "and forgets the handlers");
            Engine.SetPlaying(false);
            Engine.Reset();
            Initialize();
            CollectionAssert.IsEmpty(Engine.GameObjects, "no pump outside play mode");
        }

        [Test]
        public void AfterEveryEndingNothingReachesManagedCodeAndNoWaitHangs()
        {
            var endings = new Dictionary<string, Action> {
                { "play mode was entered", EnterPlayModeWithoutDomainReload },
                { "quitting", Engine.Quit },
                { "reloading scripts", () => UnityApiStandIn.Editor.ReloadScripts() },
                { "VeloAdapter.Shutdown", VeloAdapter.Shutdown },
            };
            foreach (var playing in new[] { false, true })
            {
                foreach (var ending in endings)
                {
                    var context = ending.Key + (playing ? ", from play mode" : ", from edit mode");
                    Engine.SetPlaying(playing);
                    Initialize();
                    BindingTest.FireBase(1);
                    var wait = ResultDispatcher.NextAsync<LoginResult>(null);
                    ending.Value();
                    Assert.IsFalse(VeloAdapter.IsInitialized, context);
                    Assert.IsTrue(wait.IsCanceled, context);
                    StringAssert.Contains(ending.Key, Assert
                                                          .Catch<OperationCanceledException>(
                                                              () => wait.GetAwaiter().GetResult())
                                                          .Message);
                    ResultDispatcher.DispatchPending();
                    dispatched.Clear();
                    BindingTest.FireBase(2);
                    Engine.Frame();
                    Assert.AreEqual(0, ResultDispatcher.PendingCount, context);
                    CollectionAssert.IsEmpty(dispatched, context);
                    Assert.Throws<InvalidOperationException>(() => VeloTools.SetLanguage("en"));
                }
            }
        }

        // Frames of a tenth of a second, the core's clock moving with them, until the sample's
        // flow ends.
        private static VeloDemoSession PlaySample()
        {
            VeloStandIn.SetManualClock(true);
            var session = new GameObject("demo").AddComponent<VeloDemoSession>();
            Assert.IsFalse(session.Flow.IsCompleted, "OnEnable waits for no answer");
            for (var frames = 0; !session.Flow.IsCompleted && frames < 1000; ++frames)
            {
                Assert.IsTrue(VeloStandIn.AdvanceClock(100), VeloStandIn.LastError);
                Engine.Frame(0.1f);
            }
            Assert.IsTrue(session.Flow.IsCompleted, string.Join("\n", Engine.Log));
            return session;
        }

        [Test]
        public void WithoutALibraryForThePlatformInitializeNamesItAndNothingReachesTheCore()
        {
            foreach (var platform in new[] { RuntimePlatform.Android, RuntimePlatform.IPhonePlayer,
                                             RuntimePlatform.OSXPlayer, RuntimePlatform.OSXEditor,
                                             RuntimePlatform.WebGLPlayer })
            {
                Engine.SetPlatform(platform);
                var e = Assert.Throws<VeloAdapterException>(VeloAdapter.Initialize);
                Assert.AreEqual(VeloErrorReason.PlatformUnsupported, e.Reason, e.Message);
                StringAssert.Contains(" " + platform + " (X64)", e.Message);
                Assert.IsFalse(VeloAdapter.IsInitialized);
                Assert.Throws<InvalidOperationException>(() => VeloLogin.Login("a", "b", "c", "d"));
                var session = new GameObject("demo").AddComponent<VeloDemoSession>();
                Assert.IsFalse(session.Flow.Result, "the sample stops at once");
                Assert.AreEqual(VeloErrorReason.PlatformUnsupported,
                                Engine.Log.OfType<VeloAdapterException>().Single().Reason,
                                "and logs why");
                Assert.AreEqual(VeloErrorReason.PlatformUnsupported,
                                ((NativeLibraryReport)Engine.Log.Last()).Reason,
                                "with the diagnosis, which tells the same");
                Engine.Reset();
            }
            CollectionAssert.IsEmpty(VeloStandIn.Calls());
            Assert.IsFalse(
                NativeLibraryCheck.HasNativeLibrary(RuntimePlatform.WindowsPlayer, Architecture.Arm64),
                "the libraries are x86-64 only");
            Engine.SetPlatform(RuntimePlatform.LinuxServer);
            VeloAdapter.Initialize();
            Assert.IsTrue(VeloAdapter.IsInitialized, "server builds have the players' libraries");
        }

        [Test]
        public void ARetryStartedByTheEndOfAWaitWhenPlayModeIsEnteredAgainSurvivesTheReset()
        {
            Initialize();
            Task<BaseResult> retry = null;
            ResultDispatcher.NextAsync<LoginResult>(null).ContinueWith(
                ended =>
                {
                    VeloAdapter.Initialize();
                    VeloLogin.EnvelopeResultReceived += r => dispatched.Add(r.MethodNameID);
                    retry = ResultDispatcher.NextAsync<BaseResult>(null);
                },
                TaskContinuationOptions.ExecuteSynchronously);
            EnterPlayModeWithoutDomainReload();
            Assert.IsTrue(VeloAdapter.IsInitialized);
            Assert.IsFalse(retry.IsCompleted, "the retry's wait was ended by the reset");
            BindingTest.FireBase(5);
            ResultDispatcher.DispatchPending();
            Assert.AreEqual(5, retry.Result.MethodNameID);
            Assert.AreEqual(new[] { 5 }, dispatched, "its handler is kept, the old one is gone");
        }

        [Test]
        public void TheSampleRunsItsFlowAcrossFramesAndLeavesNothingSubscribed()
        {
            var session = PlaySample();
            Assert.IsTrue(session.Flow.Result, string.Join("\n", Engine.Log));
            Assert.AreEqual(6, Time.frameCount, "a frame for each of the six answers awaited");
            Assert.AreEqual("Session complete", Engine.Log.Last());
            session.enabled = false;
            ResultDispatcher.DispatchFailed += e => dispatched.Add(-1); // else the pump logs it
            var loggedBefore = Engine.Log.Count;
            foreach (var kind in new[] { "login", "account", "notice", "webview" })
                Assert.IsTrue(VeloStandIn.Fire(kind, "{}", false));
            BindingTest.Receive(9, "unreadable");
            Engine.Frame();
            Assert.AreEqual(loggedBefore, Engine.Log.Count, "a handler is still subscribed");
        }

        /// <summary>The scenarios the sample ships with, whether the session completes under
        /// each, and what the sample says on its way.</summary>
        private static readonly object[] Scenarios = {
            new object[] { "successful-session.json", true, "Logged in as Ada (7301952866427190)" },
            new object[] { "wrong-password.json", false,
                           "Login refused (1001): The password is wrong." },
            new object[] { "banned-account.json", false,
                           "Login refused (1003): This account is banned until 2030-01-01." },
            new object[] { "dropped-request.json", false,
                           "Session stopped: No answer to the verification code within 10 s." },
            new object[] { "slow-answers.json", true, "Still waiting for the login after 2 s" },
            new object[] { "notices-with-pictures.json", true,
                           "  picture 512x1024 https://cdn.example.com/notices/21/portrait.png" },
            new object[] { "page-closed-early.json", true, "The page was closed before it loaded" },
        };

        [TestCaseSource(nameof(Scenarios))]
        public void TheSampleTakesItsPathUnderEachScenarioItShipsWith(string scenario,
                                                                      bool completes, string said)
        {
            var path = Path.Combine(EditorTests.PackageFolder, "Samples~/Demo/Scenarios", scenario);
            Assert.IsTrue(VeloStandIn.PlayScenarioFile(path), VeloStandIn.LastError);
            var session = PlaySample();
            Assert.AreEqual(completes, session.Flow.Result, string.Join("\n", Engine.Log));
            CollectionAssert.Contains(Engine.Log, said);
            Assert.AreEqual(completes ? "Session complete" : said, Engine.Log.Last());
        }
    }
}
