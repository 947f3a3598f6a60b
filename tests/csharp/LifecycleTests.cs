using System;
using System.Collections.Generic;
using System.Linq;
using NUnit.Framework;
using UnityApiStandIn;
using UnityEngine;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>The binding's life in Unity, with the stand-in engine playing the engine's part:
    /// frames, scenes, quitting, script reloads and entering play mode without a domain
    /// reload.</summary>
    [TestFixture]
    public class LifecycleTests
    {
        private readonly List<int> dispatched = new List<int>();

        [SetUp]
        public void EnterPlayMode()
        {
            Engine.Reset();
            EnterPlayModeWithoutDomainReload();
            VeloStandIn.Reset();
            dispatched.Clear();
            Engine.SetPlaying(true);
        }

        [TearDown]
        public void LeavePlayMode()
        {
            Engine.Reset();
            EnterPlayModeWithoutDomainReload();
            VeloStandIn.Reset();
        }

        private static void EnterPlayModeWithoutDomainReload()
        {
            Engine.RunInitializers(RuntimeInitializeLoadType.SubsystemRegistration,
                                   typeof(VeloAdapter).Assembly);
        }

        private void Initialize()
        {
            VeloAdapter.Initialize();
            ResultDispatcher.BaseResultReceived += r => dispatched.Add(r.MethodNameID);
        }

        private static void FireBase(int methodNameID)
        {
            Assert.IsTrue(
                VeloStandIn.Fire("base", "{\"methodNameID\":" + methodNameID + "}", false));
        }

        private static GameObject OnlyPump()
        {
            var objects = Engine.GameObjects;
            Assert.AreEqual(1, objects.Count, "game objects");
            return objects[0];
        }

        [Test]
        public void OneHiddenPumpKeptAcrossScenesDispatchesWaitingResultsOnEachFrame()
        {
            Initialize();
            var pump = OnlyPump();
            Assert.AreEqual(HideFlags.HideAndDontSave, pump.hideFlags);
            Assert.IsTrue(Engine.IsKeptAcrossScenes(pump));
            Assert.IsNotNull(pump.GetComponent<VeloDispatcherPump>());

            FireBase(1);
            CollectionAssert.IsEmpty(dispatched, "nothing before a frame");
            Engine.Frame();
            Assert.AreEqual(new[] { 1 }, dispatched);
            FireBase(2);
            FireBase(3);
            Engine.Frame();
            Assert.AreEqual(new[] { 1, 2, 3 }, dispatched);

            Engine.LoadScene();
            Assert.AreSame(pump, OnlyPump());
            FireBase(4);
            Engine.Frame();
            Assert.AreEqual(new[] { 1, 2, 3, 4 }, dispatched);

            VeloAdapter.Shutdown();
            VeloAdapter.Initialize();
            Assert.AreSame(pump, OnlyPump(), "initialising again makes no second pump");
        }

        [Test]
        public void AFramesBoundLeavesTheRestForTheNextFrame()
        {
            Initialize();
            ResultDispatcher.MaxResultsPerFrame = 2;
            for (var id = 1; id <= 5; ++id)
            {
                FireBase(id);
            }
            Engine.Frame();
            Assert.AreEqual(new[] { 1, 2 }, dispatched);
            Engine.Frame();
            Engine.Frame();
            Assert.AreEqual(new[] { 1, 2, 3, 4, 5 }, dispatched);
        }

        [Test]
        public void QuittingAndScriptReloadsUnregisterTheCallback()
        {
            Initialize();
            foreach (var ending in new Action[] { Engine.Quit,
                                                  UnityApiStandIn.Editor.ReloadScripts })
            {
                VeloAdapter.Initialize();
                FireBase(1);
                ending();
                Assert.IsFalse(VeloAdapter.IsInitialized);
                FireBase(2);
                Engine.Frame();
                Assert.AreEqual(new[] { 1 }, dispatched, "no result reaches the game after");
                dispatched.Clear();
                ResultDispatcher.DispatchPending();
            }
        }

        [Test]
        public void EnteringPlayModeAgainForgetsQueuedResultsHandlersAndThePump()
        {
            Initialize();
            var pump = OnlyPump();
            FireBase(1);
            EnterPlayModeWithoutDomainReload();
            Assert.IsFalse(VeloAdapter.IsInitialized);
            Assert.AreEqual(0, ResultDispatcher.PendingCount);
            CollectionAssert.IsEmpty(Engine.GameObjects, "the old pump is gone");
            Assert.IsFalse(pump);

            VeloAdapter.Initialize();
            OnlyPump();
            FireBase(2);
            Engine.Frame();
            CollectionAssert.IsEmpty(dispatched, "the old handler is forgotten");
            Initialize();
            FireBase(3);
            Engine.Frame();
            Assert.AreEqual(new[] { 3 }, dispatched);
        }

        [Test]
        public void AFailureInAFrameIsLoggedNotThrownIntoTheEngine()
        {
            Initialize();
            ResultDispatcher.BaseResultReceived += r => throw new InvalidOperationException("game");
            FireBase(1);
            Engine.Frame();
            var logged = Engine.Log.OfType<VeloAdapterException>().Single();
            Assert.AreEqual("game", logged.InnerException.Message);
        }

        [Test]
        public void OutsidePlayModeThereIsNoPump()
        {
            Engine.SetPlaying(false);
            Initialize();
            CollectionAssert.IsEmpty(Engine.GameObjects);
            FireBase(1);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
        }
    }
}
