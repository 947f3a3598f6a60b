using System;
using System.Linq;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Results are read on the core's thread and raised on the thread that dispatches
    /// them, in order, a bounded number at a time, and nothing is lost.</summary>
    [TestFixture]
    public class DispatchTests : BindingTest
    {
        private static void FireBase(int methodNameID, bool fromCoreThread = false)
        {
            Assert.IsTrue(VeloStandIn.Fire("base", "{\"methodNameID\":" + methodNameID + "}",
                                           fromCoreThread));
        }

        private int[] Dispatched()
        {
            return Typed.Select(r => r.MethodNameID).ToArray();
        }

        /// <summary>Fires base results numbered 0, 1, 2... from a thread of its own until
        /// stopped, counting each once it is queued.</summary>
        private sealed class Producer
        {
            private readonly Thread thread;
            private int fired;
            private int stop;

            public Producer()
            {
                thread = new Thread(Run);
                thread.Start();
            }

            public int Fired => Volatile.Read(ref fired);

            public int Stop()
            {
                Volatile.Write(ref stop, 1);
                thread.Join();
                return Fired;
            }

            private void Run()
            {
                for (var id = 0; Volatile.Read(ref stop) == 0; ++id)
                {
                    FireBase(id);
                    Interlocked.Increment(ref fired);
                }
            }
        }

        [Test]
        public void ADispatchEndsWithTheResultsQueuedBeforeItWhileAnotherThreadKeepsQueueing()
        {
            var producer = new Producer();
            var firedWhenTheFirstWasRaised = -1;
            ResultDispatcher.BaseResultReceived += r =>
            {
                if (firedWhenTheFirstWasRaised < 0)
                {
                    firedWhenTheFirstWasRaised = producer.Fired;
                    Thread.Sleep(100); // the producer queues more meanwhile
                }
            };
            int fired;
            try
            {
                while (producer.Fired < 100)
                {
                    Thread.Sleep(1);
                }
                var firedBefore = producer.Fired;
                var dispatched = ResultDispatcher.DispatchPending();
                // Queued when it began: at least what was fired before, and at most what was fired
                // when the first result was raised, plus one queued but not yet counted.
                Assert.GreaterOrEqual(dispatched, firedBefore);
                Assert.LessOrEqual(dispatched, firedWhenTheFirstWasRaised + 1);
                Assert.Greater(ResultDispatcher.PendingCount, 0, "results queued meanwhile wait");
                for (var call = 0; call < 20; ++call)
                {
                    ResultDispatcher.DispatchPending(call % 2 == 0 ? 7 : int.MaxValue);
                }
            }
            finally
            {
                fired = producer.Stop();
            }
            while (ResultDispatcher.DispatchPending() > 0)
            {
            }
            CollectionAssert.AreEqual(Enumerable.Range(0, fired).ToArray(), Dispatched(),
                                      "every result once, in order");
        }

        [Test]
        public void ABoundedDispatchLeavesTheRestQueuedInOrder()
        {
            for (var id = 1; id <= 10; ++id)
            {
                FireBase(id);
            }
            Assert.AreEqual(3, ResultDispatcher.DispatchPending(3));
            Assert.AreEqual(new[] { 1, 2, 3 }, Dispatched());
            ResultDispatcher.MaxResultsPerFrame = 2;
            Assert.AreEqual(2, ResultDispatcher.DispatchFrame());
            ResultDispatcher.MaxResultsPerFrame = int.MaxValue;
            // Each result outlasts the budgets below: one result a call, the first always.
            ResultDispatcher.BaseResultReceived += r => Thread.Sleep(20);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending(TimeSpan.Zero));
            Assert.AreEqual(1, ResultDispatcher.DispatchPending(TimeSpan.FromMilliseconds(1)));
            ResultDispatcher.FrameBudget = TimeSpan.FromMilliseconds(1);
            Assert.AreEqual(1, ResultDispatcher.DispatchFrame());
            Assert.AreEqual(2, ResultDispatcher.DispatchPending(TimeSpan.FromMinutes(10)));
            Assert.AreEqual(Enumerable.Range(1, 10).ToArray(), Dispatched());
            Assert.AreEqual(0, ResultDispatcher.PendingCount);
        }

        [Test]
        public void DispatchedResultsAreNotKeptByTheQueue()
        {
            var result = DispatchOneAndForgetIt();
            for (var i = 0; i < 3 && result.IsAlive; ++i)
            {
                GC.Collect();
                GC.WaitForPendingFinalizers();
            }
            Assert.IsFalse(result.IsAlive);
        }

        [MethodImpl(MethodImplOptions.NoInlining)]
        private WeakReference DispatchOneAndForgetIt()
        {
            var raised = new WeakReference(null);
            ResultDispatcher.Reset(); // no handler keeps it
            ResultDispatcher.BaseResultReceived += r => raised.Target = r;
            FireBase(1);
            FireBase(2);
            ResultDispatcher.DispatchPending(1);
            return raised;
        }

        [Test]
        public void ATextThatCannotBeReadBecomesDispatchFailedOnTheDispatchingThread()
        {
            var failedOn = -1;
            ResultDispatcher.DispatchFailed += e => failedOn = Thread.CurrentThread.ManagedThreadId;
            var texts = new[] { "{\"methodNameID\":7,\"retCode\":\"7\"}", "[1]", "{\"ret\":1} x",
                                "{\"methodNameID\":7,\"ret", "{\"retCode\":2147483648}" };
            var thread = new Thread(() =>
            {
                foreach (var text in texts)
                {
                    Receive(7, text);
        }
    });
    thread.Start();
    thread.Join();
    Assert.AreEqual(texts.Length, ResultDispatcher.DispatchPending());
    Assert.AreEqual(texts.Length, Failures.Count);
    Assert.IsTrue(Failures.All(e => e is VeloAdapterException &&
                                    e.Message.StartsWith("Result 7 could not be read")));
    Assert.AreEqual(Thread.CurrentThread.ManagedThreadId, failedOn);
    Assert.AreEqual(texts, Raw.Select(r => r.Value).ToArray(), "the raw texts still arrive");
    CollectionAssert.IsEmpty(Typed);
}

private static void Receive(int methodNameID, string text)
{
    var bytes = Encoding.UTF8.GetBytes(text + "\0");
    var native = Marshal.AllocHGlobal(bytes.Length);
    try
    {
        Marshal.Copy(bytes, 0, native, bytes.Length);
        ResultDispatcher.Receive(methodNameID, native);
    }
    finally
    {
        Marshal.FreeHGlobal(native);
    }
}

[Test]
public void ResultsFromTheCoreThreadWaitForTheDispatchingThread()
{
    var raisedOn = -1;
    ResultDispatcher.BaseResultReceived += r => raisedOn = Thread.CurrentThread.ManagedThreadId;
    FireBase(9, true);
    Assert.IsTrue(VeloStandIn.WaitForAnswers());
    Assert.AreEqual(1, ResultDispatcher.PendingCount);
    Assert.AreEqual(-1, raisedOn, "raised before anyone dispatched");
    Assert.AreEqual(1, ResultDispatcher.DispatchPending());
    Assert.AreEqual(Thread.CurrentThread.ManagedThreadId, raisedOn);
}

[Test]
public void TheRawTextIsKeptOnlyForResultsThatArriveWhileItHasAHandler()
{
    ResultDispatcher.Reset();
    FireBase(1);
    var raw = 0;
    ResultDispatcher.ResultReceived += (id, json) => ++raw;
    FireBase(2);
    Assert.AreEqual(2, ResultDispatcher.DispatchPending());
    Assert.AreEqual(1, raw);
}

[Test]
public void TheCallbackSurvivesGarbageCollections()
{
    for (var i = 0; i < 3; ++i)
    {
        GC.Collect();
        GC.WaitForPendingFinalizers();
    }
    FireBase(11, true);
    VeloStandIn.WaitForAnswers();
    ResultDispatcher.DispatchPending();
    Assert.AreEqual(new[] { 11 }, Dispatched());
}

[Test]
public void AfterShutdownNothingIsDeliveredAndInitializeRegistersAgain()
{
    VeloAdapter.Shutdown();
    FireBase(1);
    Assert.AreEqual(0, ResultDispatcher.PendingCount);
    VeloAdapter.Initialize();
    FireBase(2);
    Assert.AreEqual(1, ResultDispatcher.PendingCount);
}

[Test]
public void AHandlersExceptionGoesToDispatchFailedAndTheRestIsStillDispatched()
{
    var count = 0;
    ResultDispatcher.BaseResultReceived += r =>
    {
        if (++count == 1)
        {
            throw new InvalidOperationException("handler");
        }
    };
    FireBase(1);
    FireBase(2);
    Assert.AreEqual(2, ResultDispatcher.DispatchPending());
    Assert.AreEqual(2, count);
    Assert.AreEqual(1, Failures.Count);
    Assert.IsInstanceOf<InvalidOperationException>(Failures[0]);
}

[Test]
public void WithoutADispatchFailedHandlerTheFirstFailureIsThrownOnceTheCallIsDone()
{
    ResultDispatcher.Reset();
    var raised = 0;
    ResultDispatcher.BaseResultReceived += r =>
    {
        ++raised;
        throw new InvalidOperationException("handler " + raised);
    };
    FireBase(1);
    FireBase(2);
    var thrown = Assert.Throws<VeloAdapterException>(() => ResultDispatcher.DispatchPending());
    Assert.AreEqual("handler 1", thrown.InnerException.Message);
    Assert.AreEqual(2, raised);
    Assert.AreEqual(0, ResultDispatcher.PendingCount);
}
}
}
