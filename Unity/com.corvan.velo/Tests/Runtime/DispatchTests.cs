using System;
using System.Collections.Generic;
using System.Linq;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
using System.Threading.Tasks;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>A clean stand-in core and dispatcher for each test, every result and failure
    /// recorded.</summary>
    public abstract class BindingTest
    {
        protected const string Unicode = "\u00e9 \u65e5\u672c\u8a9e \U0001F3AE";

        /// <summary>Every result raised since the test began, raw and typed, in order.</summary>
        protected readonly List<KeyValuePair<int, string>> Raw =
            new List<KeyValuePair<int, string>>();
        protected readonly List<BaseResult> Typed = new List<BaseResult>();
        protected readonly List<VeloAdapterException> Failures = new List<VeloAdapterException>();

        [SetUp]
        public void SetUpBinding()
        {
            Assert.IsTrue(VeloStandIn.IsAvailable, "these tests drive the stand-in core");
            VeloAdapter.Initialize();
            VeloStandIn.Reset();
            ResultDispatcher.Reset();
            Raw.Clear();
            Typed.Clear();
            Failures.Clear();
            ResultDispatcher.ResultReceived += (id, json) =>
                Raw.Add(new KeyValuePair<int, string>(id, json));
            VeloLogin.LoginResultReceived += Typed.Add;
            VeloLogin.EnvelopeResultReceived += Typed.Add;
            VeloLogin.QrCodeResultReceived += Typed.Add;
            VeloAccount.AccountResultReceived += Typed.Add;
            VeloNotice.NoticeResultReceived += Typed.Add;
            VeloWebView.WebViewResultReceived += Typed.Add;
            ResultDispatcher.DispatchFailed += Failures.Add;
        }

        /// <summary>Fires base results with these method numbers, in order.</summary>
        internal static void FireBase(params int[] methodNameIDs)
        {
            foreach (var id in methodNameIDs)
                Assert.IsTrue(VeloStandIn.Fire("base", "{\"methodNameID\":" + id + "}", false));
        }

        /// <summary>Fires one result of `kind` through the stand-in core, dispatches it and
        /// returns it typed.</summary>
        protected T FireAndDispatch<T>(string kind, string record)
            where T : BaseResult
        {
            Assert.IsTrue(VeloStandIn.Fire(kind, record, false), VeloStandIn.LastError);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
            CollectionAssert.IsEmpty(Failures);
            return (T)Typed[Typed.Count - 1];
        }

        /// <summary>Hands `text` to the binding as the native callback would.</summary>
        internal static void Receive(int methodNameID, string text)
        {
            var bytes = Encoding.UTF8.GetBytes(text + "\0");
            var native = Marshal.AllocHGlobal(bytes.Length);
            Marshal.Copy(bytes, 0, native, bytes.Length);
            ResultDispatcher.Receive(methodNameID, native); // never throws
            Marshal.FreeHGlobal(native);
        }
    }

    /// <summary>Results are read on the core's thread and raised on the thread that dispatches
    /// them, in order, a bounded number at a time, every handler isolated from the others, with
    /// nothing lost, nothing allocated per frame, and awaitable.</summary>
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
            // Each result outlasts the budgets below: one result a call, the first always.
            VeloLogin.EnvelopeResultReceived += r => Thread.Sleep(20);
            Assert.AreEqual(1, ResultDispatcher.DispatchPending(TimeSpan.Zero));
            Assert.AreEqual(1, ResultDispatcher.DispatchPending(TimeSpan.FromMilliseconds(1)));
            ResultDispatcher.FrameBudget = TimeSpan.FromMilliseconds(1);
            Assert.AreEqual(1, ResultDispatcher.DispatchFrame());
            Assert.AreEqual(4, ResultDispatcher.DispatchPending(TimeSpan.FromMinutes(10)));
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
        public void TextsThatCannotBeReadFailOnTheDispatchingThreadAndNoFailureHidesAnother()
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
        }

        [Test]
        public void NothingIsAllocatedPerFrameNorPerResultWithOrWithoutBounds()
        {
            var allocated = (Func<long>)Delegate.CreateDelegate(
                typeof(Func<long>), typeof(GC).GetMethod("GetAllocatedBytesForCurrentThread"));
            ResultDispatcher.Reset(); // typed handlers only: no raw text kept
            VeloLogin.EnvelopeResultReceived += Typed.Add;
            Typed.Capacity = 100;
            for (var round = 0; round < 4; ++round) // each first round warms up
            {
                var bounded = round >= 2;
                ResultDispatcher.FrameBudget =
                    bounded ? TimeSpan.FromMinutes(1) : TimeSpan.MaxValue;
                ResultDispatcher.MaxResultsPerFrame = bounded ? 3 : int.MaxValue;
                Typed.Clear();
                FireBase(Enumerable.Range(0, 12).ToArray());
                var before = allocated();
                for (var frame = 0; frame < 10; ++frame)
                {
                    ResultDispatcher.DispatchFrame();
                    ResultDispatcher.DispatchPending(ResultDispatcher.FrameBudget);
                }
                var bytes = allocated() - before;
                Assert.IsTrue(Typed.Count == 12 && (round % 2 == 0 || bytes == 0),
                              Typed.Count + " results, " + bytes + " bytes, bounded: " + bounded);
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
            Assert.AreEqual(1, ResultDispatcher.DispatchPending());
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
