using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.CompilerServices;
using System.Threading;
using System.Threading.Tasks;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Results are read on the core's thread and raised on the thread that dispatches
    /// them, in order, a bounded number at a time, every handler isolated from the others, with
    /// nothing lost, nothing allocated per frame, and awaitable.</summary>
    [TestFixture]
    public class DispatchTests : BindingTest
    {
        private int[] Dispatched() => Typed.Select(r => r.MethodNameID).ToArray();

        [Test]
        public void ResultsQueuedByAnotherThreadDuringDispatchesArriveOnceInOrder()
        {
            var producer = new Thread(() => FireBase(Enumerable.Range(0, 3000).ToArray()));
            producer.Start();
            for (var call = 0; producer.IsAlive; ++call)
                ResultDispatcher.DispatchPending(call % 2 == 0 ? 7 : int.MaxValue);
            producer.Join();
            ResultDispatcher.DispatchPending();
            Assert.AreEqual(Enumerable.Range(0, 3000), Dispatched());
        }

        [Test]
        public void ABoundedDispatchLeavesTheRestQueuedInOrder()
        {
            FireBase(Enumerable.Range(1, 10).ToArray());
            Assert.AreEqual(3, ResultDispatcher.DispatchPending(3));
            ResultDispatcher.MaxResultsPerFrame = 2;
            Assert.AreEqual(2, ResultDispatcher.DispatchFrame());
            ResultDispatcher.MaxResultsPerFrame = int.MaxValue;
            // Each result outlasts the budgets below: one result a call, the first always.
            VeloLogin.EnvelopeResultReceived += r => Thread.Sleep(20);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending(TimeSpan.Zero));
            Assert.AreEqual(1, ResultDispatcher.DispatchPending(TimeSpan.FromMilliseconds(1)));
            ResultDispatcher.FrameBudget = TimeSpan.FromMilliseconds(1);
            Assert.AreEqual(1, ResultDispatcher.DispatchFrame());
            Assert.AreEqual(2, ResultDispatcher.DispatchPending(TimeSpan.FromMinutes(10)));
            Assert.AreEqual(Enumerable.Range(1, 10), Dispatched());
        }

        [Test]
        public void EveryHandlerRunsAndANestedDispatchKeepsOrderAndBounds()
        {
            var raised = new List<string>();
            ResultDispatcher.ResultReceived += (id, json) => throw new Exception("raw " + id);
            Action<BaseResult> any = r => raised.Add("any" + r.MethodNameID); // contravariant
            VeloLogin.LoginResultReceived += any;
            VeloLogin.LoginResultReceived += r => throw new Exception("login " + r.MethodNameID);
            VeloLogin.LoginResultReceived += r => raised.Add("ui" + r.MethodNameID);
            VeloLogin.EnvelopeResultReceived += r =>
            {
                raised.Add("A" + r.MethodNameID);
                if (r.MethodNameID == 1)
                    FireBase(99); // after the outer dispatch began
                raised.Add("nested" + ResultDispatcher.DispatchPending());
            };
            VeloLogin.EnvelopeResultReceived += r => raised.Add("B" + r.MethodNameID);
            VeloStandIn.Fire("login", "{\"methodNameID\":7}", false);
            FireBase(1);
            Receive(5, "[1]");
            FireBase(2);
            Assert.AreEqual(4, ResultDispatcher.DispatchPending());
            Assert.AreEqual(new[] { "any7", "ui7", "A1", "nested0", "B1", "A2", "nested0", "B2" },
                            raised);
            Assert.AreEqual(new[] { "raw 7", "login 7", "raw 1", "read 5", "raw 5", "raw 2" },
                            Failures.Select(e => e.Reason == VeloErrorReason.HandlerFailed
                                                     ? e.InnerException.Message
                                                     : "read " + e.Message.Split(' ')[1]));
            raised.Clear();
            ResultDispatcher.MaxResultsPerFrame = 2;
            FireBase(3, 4, 5, 6);
            Assert.AreEqual(2, ResultDispatcher.DispatchFrame());
            Assert.AreEqual(new[] { "A99", "nested0", "B99", "A3", "nested0", "B3" }, raised);
            VeloLogin.LoginResultReceived -= any;
            VeloStandIn.Fire("login", "{\"methodNameID\":8}", false);
            ResultDispatcher.DispatchPending();
            Assert.IsFalse(raised.Contains("any8"), "unsubscribed");
        }

        [Test]
        public void TextsThatCannotBeReadFromTheCoresThreadFailOnTheDispatchingThread()
        {
            var failedOn = -1;
            ResultDispatcher.DispatchFailed += e => failedOn = Thread.CurrentThread.ManagedThreadId;
            var texts = new[] { "{\"methodNameID\":7,\"retCode\":\"7\"}", "[1]", "{\"ret\":1} x",
                                "{\"methodNameID\":7,\"ret", "{\"retCode\":2147483648}" };
            var core = new Thread(() => texts.ToList().ForEach(text => Receive(7, text)));
            core.Start();
            core.Join();
            Assert.AreEqual(-1, failedOn, "raised before anyone dispatched");
            Assert.AreEqual(texts.Length, ResultDispatcher.DispatchPending());
            Assert.AreEqual(Enumerable.Repeat(VeloErrorReason.ResultUnreadable, texts.Length),
                            Failures.Select(e => e.Reason));
            StringAssert.StartsWith("Result 7 could not be read", Failures[0].Message);
            Assert.AreEqual(Thread.CurrentThread.ManagedThreadId, failedOn);
            Assert.AreEqual(texts, Raw.Select(r => r.Value), "the raw texts still arrive");
            CollectionAssert.IsEmpty(Typed);
        }

        [Test]
        public void NothingIsAllocatedPerFrameNorPerResultWithOrWithoutBounds()
        {
            var allocated = (Func<long>)Delegate.CreateDelegate(
                typeof(Func<long>), typeof(GC).GetMethod("GetAllocatedBytesForCurrentThread"));
            ResultDispatcher.Reset(); // typed handlers only: no raw text kept
            VeloLogin.EnvelopeResultReceived += Typed.Add;
            Typed.Capacity = 100;
            foreach (var bounded in new[] { false, true })
            {
                ResultDispatcher.FrameBudget =
                    bounded ? TimeSpan.FromMinutes(1) : TimeSpan.MaxValue;
                ResultDispatcher.MaxResultsPerFrame = bounded ? 3 : int.MaxValue;
                for (var round = 0; round < 2; ++round) // the first warms up
                {
                    Typed.Clear();
                    FireBase(Enumerable.Range(0, 12).ToArray());
                    var before = allocated();
                    for (var frame = 0; frame < 10; ++frame)
                    {
                        ResultDispatcher.DispatchFrame();
                        ResultDispatcher.DispatchPending(ResultDispatcher.FrameBudget);
                    }
                    var bytes = allocated() - before;
                    Assert.AreEqual(12, Typed.Count);
                    Assert.IsTrue(round == 0 || bytes == 0, bytes + " bytes, bounded: " + bounded);
                }
            }
        }

        [Test]
        public void AnAwaitedResultCompletesInOrderWithTheEventsOrIsCancelled()
        {
            var order = new List<string>();
            VeloLogin.EnvelopeResultReceived += r => order.Add("event " + r.MethodNameID);
            var second = ResultDispatcher.NextAsync<BaseResult>(r => r.MethodNameID == 2);
            var dispatching = Thread.CurrentThread; // "?" when awaited elsewhere
            second.ContinueWith(t => order.Add("awaited " + t.Result.MethodNameID +
                                               (Thread.CurrentThread == dispatching ? "" : "?")),
                                TaskContinuationOptions.ExecuteSynchronously);
            var account = ResultDispatcher.NextAsync<AccountResult>(null);
            var throwing = ResultDispatcher.NextAsync<BaseResult>(r => throw new FormatException());
            var cancel = new CancellationTokenSource();
            var cancelled = ResultDispatcher.NextAsync<LoginResult>(null, cancel.Token);
            FireBase(1, 2, 3);
            Assert.IsFalse(second.IsCompleted, "completed before anyone dispatched");
            ResultDispatcher.DispatchPending();
            Assert.AreEqual(new[] { "event 1", "event 2", "awaited 2", "event 3" }, order);
            Assert.IsInstanceOf<FormatException>(throwing.Exception.InnerException);
            Assert.IsFalse(account.IsCompleted);
            VeloStandIn.Fire("account", "{\"methodNameID\":4}", false);
            ResultDispatcher.DispatchPending();
            Assert.AreEqual(4, account.Result.MethodNameID);
            cancel.Cancel();
            Assert.IsTrue(cancelled.IsCanceled);
            Assert.IsTrue(ResultDispatcher.NextAsync<LoginResult>(null, cancel.Token).IsCanceled);
        }

        [Test]
        public void NeitherTheCallbackNorDispatchedResultsDependOnTheGarbageCollector()
        {
            var result = DispatchOneAndForgetIt();
            GC.Collect();
            GC.WaitForPendingFinalizers();
            GC.Collect();
            Assert.IsFalse(result.IsAlive, "kept by the queue");
            Assert.IsTrue(VeloStandIn.Fire("base", "{\"methodNameID\":11}", true));
            VeloStandIn.WaitForAnswers();
            var raw = 0;
            ResultDispatcher.ResultReceived += (id, json) => raw += id;
            FireBase(12);
            Assert.AreEqual(2, ResultDispatcher.DispatchPending());
            Assert.AreEqual(12, raw, "raw texts kept only while ResultReceived has a handler");
        }

        [MethodImpl(MethodImplOptions.NoInlining)]
        private WeakReference DispatchOneAndForgetIt()
        {
            var raised = new WeakReference(null);
            ResultDispatcher.Reset(); // no handler keeps it
            VeloLogin.EnvelopeResultReceived += r => raised.Target = r;
            FireBase(1, 2);
            Assert.AreEqual(2, ResultDispatcher.DispatchPending());
            return raised;
        }
    }
}
