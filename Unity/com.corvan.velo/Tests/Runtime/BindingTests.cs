using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Linq;
using System.Linq.Expressions;
using System.Reflection;
using System.Runtime.CompilerServices;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading;
using System.Threading.Tasks;
using NUnit.Framework;
using Newtonsoft.Json;
using Newtonsoft.Json.Linq;

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

        /// <summary>What the calling thread has allocated so far, in bytes.</summary>
        protected static readonly Func<long> AllocatedBytes = (Func<long>)Delegate.CreateDelegate(
            typeof(Func<long>), typeof(GC).GetMethod("GetAllocatedBytesForCurrentThread"));

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
        public void BoundsUnderWhichNothingWouldBeDispatchedAreRefusedNamingTheirValue()
        {
            var refused = new(string, TestDelegate)[] {
                ("0", () => ResultDispatcher.MaxResultsPerFrame = 0),
                ("-3", () => ResultDispatcher.MaxResultsPerFrame = -3),
                ("0", () => ResultDispatcher.DispatchPending(0)),
                ("-7", () => ResultDispatcher.DispatchPending(-7)),
                ("00:00:00", () => ResultDispatcher.FrameBudget = TimeSpan.Zero),
                ("-00:00:01", () => ResultDispatcher.FrameBudget = TimeSpan.FromSeconds(-1)),
            };
            FireBase(1, 2, 3);
            foreach (var (value, set) in refused)
                StringAssert.Contains(value,
                                      Assert.Throws<ArgumentOutOfRangeException>(set).Message);
            Assert.AreEqual(3, ResultDispatcher.DispatchFrame(), "the bounds stayed as they were");
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
            Assert.AreEqual(2, thrown.DispatchedCount, "what the call would have returned");
            var failures = ((AggregateException)thrown.InnerException).InnerExceptions;
            Assert.AreEqual(
                new[] { VeloErrorReason.ResultUnreadable, VeloErrorReason.HandlerFailed },
                failures.Select(e => ((VeloAdapterException)e).Reason));
            Assert.AreEqual("game", failures[1].InnerException.Message);
            ResultDispatcher.Reset(); // one failure among three results: thrown as it is
            FireBase(1);
            Receive(7, "[1]");
            FireBase(2);
            Assert.AreEqual(
                3, Assert.Throws<VeloAdapterException>(() => ResultDispatcher.DispatchPending(5))
                       .DispatchedCount);
        }

        [Test]
        public void NothingIsAllocatedPerFrameNorPerResultWithOrWithoutBounds()
        {
            var allocated = AllocatedBytes;
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

    /// <summary>Awaited results hold however a game waits: waits begun and cancelled on other
    /// threads while Shutdown or a reset ends them, code awaiting on other threads kept out of
    /// the dispatching thread, a wait costing the same however many are pending, and timeouts.
    /// </summary>
    public class WaitTests : BindingTest
    {
        [Test]
        public void WaitsAndHandlersChangedOnAnotherThreadMeetingShutdownOrAResetNeverThrow()
        {
            var failures = new List<Exception>();
            var clock = Stopwatch.StartNew();
            var cycle = 0;
            for (; cycle < 100 && clock.Elapsed.TotalSeconds < 3 && failures.Count == 0; ++cycle)
            {
                VeloAdapter.Initialize();
                var churn = new Churn { Failures = failures, Handler = Typed.Add };
                var worker = new Thread(churn.Run);
                worker.Start();
                while (Volatile.Read(ref churn.Begun) < 500 + cycle % 7 * 100)
                    Thread.Yield();
                Ending(failures, cycle % 2 == 0 ? VeloAdapter.Shutdown
                                                : (Action)(() => ResultDispatcher.Reset()));
                Volatile.Write(ref churn.Stop, true);
                worker.Join();
                Ending(failures, VeloAdapter.Shutdown); // ends the waits begun after a reset
                Assert.IsTrue(churn.Waits.All(w => w.IsCompleted), "a wait outlived Shutdown");
            }
            CollectionAssert.IsEmpty(failures, "within " + cycle + " cycles");
        }

        /// <summary>Begins waits and subscribes, cancelling and unsubscribing every other time,
        /// until stopped.</summary>
        private sealed class Churn
        {
            internal List<Exception> Failures;
            internal Action<LoginResult> Handler;
            internal readonly List<Task> Waits = new List<Task>();
            internal int Begun;
            internal bool Stop;

            internal void Run()
            {
                for (var i = 0; !Volatile.Read(ref Stop); ++i, Interlocked.Increment(ref Begun))
                {
                    var cancelled = i % 2 == 0;
                    Ending(Failures, () => Once(cancelled));
                }
            }

            private void Once(bool cancelled)
            {
                var cancel = new CancellationTokenSource();
                Waits.Add(ResultDispatcher.NextAsync<LoginResult>(null, cancel.Token));
                VeloLogin.LoginResultReceived += Handler;
                if (cancelled)
                {
                    cancel.Cancel();
                    VeloLogin.LoginResultReceived -= Handler;
                }
            }
        }

        /// <summary>Runs `end`, keeping what it throws, but for a wait begun after Shutdown.
        /// </summary>
        private static void Ending(List<Exception> failures, Action end)
        {
            try
            {
                end();
            }
            catch (InvalidOperationException) when (!VeloAdapter.IsInitialized)
            {
            }
            catch (Exception e)
            {
                lock (failures)
                {
                    failures.Add(e);
                }
            }
        }

        [Test]
        public void CodeAwaitingOnAnotherThreadNeverRunsInsideADispatchACancellationOrShutdown()
        {
            var endings = new(string, Action<CancellationTokenSource>)[] {
                ("a dispatch", cancel => FireAndDispatchBase(1)),
                ("a cancellation", cancel => cancel.Cancel()),
                ("Shutdown", cancel => VeloAdapter.Shutdown()),
            };
            foreach (var (ending, end) in endings)
            {
                VeloAdapter.Initialize();
                var cancel = new CancellationTokenSource();
                Task<Thread> continued = null;
                var worker =
                    new Thread(() => continued = ContinuedOn(
                                   ResultDispatcher.NextAsync<BaseResult>(null, cancel.Token)));
                worker.Start();
                worker.Join(); // it awaits, and has left
                end(cancel);
                Assert.IsTrue(continued.Wait(TimeSpan.FromMinutes(1)), ending);
                Assert.AreNotSame(Thread.CurrentThread, continued.Result,
                                  "the worker's code ran inside " + ending);
            }
        }

        private static void FireAndDispatchBase(int methodNameID)
        {
            FireBase(methodNameID);
            ResultDispatcher.DispatchPending();
        }

        private static async Task<Thread> ContinuedOn(Task wait)
        {
            try
            {
                await wait;
            }
            catch (OperationCanceledException)
            {
            }
            return Thread.CurrentThread;
        }

        [Test]
        public void BeginningAndEndingAWaitCostsTheSameWithTenThousandPending()
        {
            Func<long> bytesAWait = () =>
            {
                var before = AllocatedBytes();
                for (var i = 0; i < 1000; ++i)
                {
                    var cancel = new CancellationTokenSource();
                    ResultDispatcher.NextAsync<LoginResult>(null, cancel.Token);
                    cancel.Cancel();
                }
                return (AllocatedBytes() - before) / 1000;
            };
            bytesAWait(); // warms up
            var alone = bytesAWait();
            for (var i = 0; i < 10000; ++i)
                ResultDispatcher.NextAsync<LoginResult>(r => false);
            var amongMany = bytesAWait();
            Assert.Less(amongMany, 2 * alone, alone + " bytes a wait alone");
        }

        [Test]
        public void ATimedWaitEndsWithATimeoutEarliestFirstUnlessItsResultComesFirst()
        {
            var timedOut = new List<int>();
            var late = new[] { 30, 10, 20 }.Select(ms => TimedOut(ms, timedOut)).ToArray();
            var answered = ResultDispatcher.NextAsync<BaseResult>(r => r.MethodNameID == 2,
                                                                  TimeSpan.FromDays(1));
            var unlimited = ResultDispatcher.NextAsync<BaseResult>(r => r.MethodNameID == 3,
                                                                   Timeout.InfiniteTimeSpan);
            FireBase(1, 2, 3);
            ResultDispatcher.DispatchPending();
            Assert.AreEqual(new[] { 2, 3 },
                            new[] { answered.Result.MethodNameID, unlimited.Result.MethodNameID });
            Assert.IsTrue(Task.WaitAll(late, TimeSpan.FromMinutes(1)));
            Assert.IsTrue(late.All(wait => wait.Result is TimeoutException));
            Assert.AreEqual(new[] { 10, 20, 30 }, timedOut);
            Assert.AreEqual(0, ResultWaits.Count, "nothing left of the waits");
            Assert.Throws<ArgumentOutOfRangeException>(
                () => ResultDispatcher.NextAsync<BaseResult>(null, TimeSpan.FromTicks(-1)));
        }

        /// <summary>A wait of `ms` milliseconds for a login: its exception, once it is added to
        /// `timedOut`.</summary>
        private static Task<Exception> TimedOut(int ms, List<int> timedOut)
        {
            var wait = ResultDispatcher.NextAsync<LoginResult>(null, TimeSpan.FromMilliseconds(ms));
            return wait.ContinueWith(
                ended =>
                {
                    lock (timedOut)
                    {
                        timedOut.Add(ms);
                    }
                    return ended.Exception.InnerException;
                },
                TaskContinuationOptions.ExecuteSynchronously);
        }
    }

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

        private static IEnumerable<Expression<Action>> RequestsWithTexts =>
            Requests.Where(r => ((MethodCallExpression)r.Body)
                                    .Method.GetParameters()
                                    .Any(p => p.ParameterType == typeof(string)));

        [TestCaseSource(nameof(RequestsWithTexts))]
        public void ATextHoldingAZeroCharacterIsRefusedNamingItsParameterBeforeTheCoreSeesIt(
            Expression<Action> request)
        {
            var call = (MethodCallExpression)request.Body;
            var parameters = call.Method.GetParameters();
            for (var i = 0; i < parameters.Length; ++i)
            {
                if (parameters[i].ParameterType != typeof(string))
                    continue;
                var args = call.Arguments.Select(a => ((ConstantExpression)a).Value).ToArray();
                args[i] = "cut\0here";
                var thrown =
                    Assert.Throws<TargetInvocationException>(() => call.Method.Invoke(null, args))
                        .InnerException;
                Assert.AreEqual(parameters[i].Name, ((ArgumentException)thrown).ParamName);
            }
            CollectionAssert.IsEmpty(VeloStandIn.Calls(), "nothing reached the core");
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
            var report = VeloAdapter.Diagnose();
            Assert.IsTrue(report.IsUsable, report.ToString());
            CollectionAssert.IsEmpty(report.Libraries[0].Lacks);
            var exports = Environment.GetEnvironmentVariable("VELO_EXPORTS_FILE");
            var manifest = Environment.GetEnvironmentVariable("VELO_PACKAGE_MANIFEST") ??
                           "Packages/com.corvan.velo/package.json";
            if (exports != null)
                CollectionAssert.AreEquivalent(
                    File.ReadAllLines(exports).Where(n => n.Trim() != ""), declared,
                    "the adapter's export list");
            Assert.AreEqual(
                (string)Newtonsoft.Json.Linq.JObject.Parse(File.ReadAllText(manifest))["version"],
                VeloAdapter.Version);
            Assert.AreEqual(VeloAdapter.Version, report.Libraries[0].Version,
                            "the loaded adapter's version");
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

    /// <summary>Every member of every kind of result reaches the game exactly as the core sent
    /// it, through its own event: texts that look like dates, numbers or JSON stay those texts, in
    /// any script; numbers keep their extremes and the progress its float, bit for bit.</summary>
    public class ResultTests : BindingTest
    {
        // Texts a lenient reader would turn into something else.
        private static readonly string[] Texts =
            ("1990-05-17T08:30:00Z|/Date(0)/|2024-01-01T00:00:00|12345|-0.5e3|" +
             "{\"a\":[1,\"b\"],\"when\":\"2024-01-01T00:00:00Z\"}|" + Unicode +
             "|line\nbreak \"quoted\" \\ tab\t \u0001|true||null|2024-01-01|05/17/1990 08:30:00|" +
             "[{\"channel\":\"Guest\",\"channelid\":3}]|1e400")
                .Split('|');

        private static string T(int i) => Texts[i % Texts.Length];

        /// <summary>A kind's members: each one's path in the record ("a/0/b" nests; "none" for
        /// none), the value sent, and where the game reads it; the envelope's first.</summary>
        private static object[] Kind<R>(string kind, bool extraJson,
                                        params(string, object, Func<R, object>)[] members)
            where R : BaseResult
        {
            var envelope = new(string, object, Func<R, object>)[] {
                ("methodNameID", kind.Length, r => r.MethodNameID),
                ("retCode", int.MinValue, r => r.RetCode),
                ("retMsg", T(kind.Length), r => r.RetMsg),
                ("ret", int.MaxValue, r => r.Ret),
                ("msg", T(kind.Length + 1), r => r.Msg),
                ("extraJson", T(kind.Length + 2), r => r.ExtraJson),
            };
            return new object[] {
                kind, typeof(R),
                envelope.Take(extraJson ? 6 : 5)
                    .Concat(members)
                    .Select(m => new[] { m.Item1, m.Item2,
                                         (Func<BaseResult, object>)(r => m.Item3((R)r)) })
                    .ToArray()
            };
        }

        /// <summary>A member of the first notice.</summary>
        private static (string, object, Func<NoticeResult, object>)
            N(string path, object sent, Func<Notice, object> read)
        {
            return ("notice_list/0/" + path, sent, r => read(r.Notices[0]));
        }

        private static readonly object[][] Kinds = {
            Kind<BaseResult>("base", true),
            Kind<LoginResult>(
                "login", true, ("openid", T(4), r => r.OpenId), ("token", T(5), r => r.Token),
                ("token_expire_time", 4102444800L, r => r.TokenExpireTime),
                ("first", -1, r => r.First), ("reg_channel_dis", T(6), r => r.RegChannelDis),
                ("user_name", T(2), r => r.UserName), ("gender", 2, r => r.Gender),
                ("birthdate", T(0), r => r.Birthdate), ("picture_url", T(7), r => r.PictureUrl),
                ("pf", T(8), r => r.Pf), ("pfKey", T(9), r => r.PfKey),
                ("need_name_auth", true, r => r.NeedNameAuth), ("channelid", 3, r => r.ChannelId),
                ("channel", T(10), r => r.Channel), ("channel_info", T(11), r => r.ChannelInfo),
                ("confirm_code", T(12), r => r.ConfirmCode),
                ("confirm_code_expire_time", -300L, r => r.ConfirmCodeExpireTime),
                ("bind_list", T(13), r => r.BindList)),
            Kind<QrCodeResult>("qrcode", false, ("channelID", 7, r => r.ChannelID),
                               ("channel", T(14), r => r.Channel),
                               ("qrCodeUrl", T(6), r => r.QrCodeUrl),
                               ("none", null, r => r.ExtraJson)),
            Kind<AccountResult>(
                "account", true, ("channelID", -5, r => r.ChannelID),
                ("channel", T(1), r => r.Channel), ("seq", T(3), r => r.Seq),
                ("user_name", T(6), r => r.UserName), ("uid", T(4), r => r.Uid),
                ("token", T(5), r => r.Token), ("expiretime", T(0), r => r.ExpireTime),
                ("is_register", 1, r => r.IsRegister), ("isset_pwd", 0, r => r.IsSetPwd),
                ("is_receive_email", int.MinValue, r => r.IsReceiveEmail),
                ("expire_time", 60, r => r.ExpireTimeNumber)),
            Kind<WebViewResult>("webview", true, ("msgType", -1, r => r.MsgType),
                                ("msgJsonData", T(5), r => r.MsgJsonData),
                                ("embedUrl", T(1), r => r.EmbedUrl)),
            Kind<NoticeResult>(
                "notice", true, N("notice_id", 8, n => n.Id), N("notice_type", -1, n => n.Type),
                N("notice_group", T(0), n => n.Group),
                N("start_time", int.MaxValue, n => n.StartTime),
                N("end_time", int.MinValue, n => n.EndTime),
                N("update_time", 17, n => n.UpdateTime), N("order", 2, n => n.Order),
                N("content_type", 3, n => n.ContentType), N("language", T(6), n => n.Language),
                N("notice_text_obj/notice_title", T(1), n => n.Text.Title),
                N("notice_text_obj/notice_content", T(7), n => n.Text.Content),
                N("notice_text_obj/notice_redirect_url", T(2), n => n.Text.RedirectUrl),
                N("notice_pic_list/0/pic_url", T(3), n => n.Pictures[0].Url),
                N("notice_pic_list/0/pic_hash", T(4), n => n.Pictures[0].Hash),
                N("notice_pic_list/0/pic_title", T(6), n => n.Pictures[0].Title),
                N("notice_pic_list/0/pic_size", "1024x512", n => n.Pictures[0].Size),
                N("notice_pic_list/0/pic_dir", 2, n => n.Pictures[0].Dir),
                N("notice_pic_list/1/pic_size", T(3), n => n.Pictures[1].Size),
                N("notice_web_url", T(11), n => n.WebUrl), N("extra_data", T(13), n => n.ExtraData),
                ("notice_list/1/notice_id", 9, r => r.Notices[1].Id),
                ("none", "", r => r.Notices[1].Text.Title),
                ("none", 0, r => r.Notices[1].Pictures.Count), ("none", 2, r => r.Notices.Count)),
        };

        [TestCaseSource(nameof(Kinds))]
        public void EveryMemberArrivesExactlyThroughItsKindsEvent(string kind, Type type,
                                                                  object[][] members)
        {
            var record = new JObject();
            foreach (var member in members.Where(m => (string)m[0] != "none"))
            {
                var value = JToken.FromObject(member[1]);
                foreach (var step in ((string)member[0]).Split('/').Reverse())
                    value =
                        int.TryParse(step, out var index)
                            ? new JArray(
                                  Enumerable.Repeat(new JObject(), index).Concat(new[] { value }))
                            : (JToken) new JObject(new JProperty(step, value));
                record.Merge(
                    value, new JsonMergeSettings { MergeArrayHandling = MergeArrayHandling.Merge });
            }
            var received = FireAndDispatch<BaseResult>(kind, record.ToString());
            Assert.AreEqual(type, received.GetType());
            foreach (var member in members)
                Assert.AreEqual(member[1], ((Func<BaseResult, object>)member[2])(received),
                                (string)member[0]);
        }

        [Test]
        public void TheProgressIsTheCoresFloatBitForBit()
        {
            // The core's float, as the stand-in reads it from the record, and what the game reads.
            var sent = ("0.0 1.0 0.25 0.1 0.7 -0.0 1e-7 null -1e300 3.4028234663852886e38 " +
                        "1.401298464324817e-45")
                           .Split(' ');
            var expected = new[] { 0f,    1f,        0.25f,     0.1f,           0.7f,         -0f,
                                   1e-7f, float.NaN, float.NaN, float.MaxValue, float.Epsilon };
            Assert.AreEqual(expected.Select(f => BitConverter.GetBytes(f)),
                            sent.Select(text => BitConverter.GetBytes(
                                            FireAndDispatch<WebViewResult>(
                                                "webview", "{\"embedProgress\":" + text + "}")
                                                .EmbedProgress)));
        }

        [Test]
        public void MembersTheBindingDoesNotKnowAreSkippedAtAnyDepthAndTheKnownOnesKept()
        {
            foreach (var depth in new[] { 20, 10000 })
            {
                var deep = new string('[', depth) + "{\"a\":[1]}" + new string(']', depth);
                Receive(1, "{\"methodNameID\":1,\"msg\":\"m\",\"new\":" + deep +
                               ",\"openid\":\"o\",\"newer\":{\"x\":" + deep + "},\"token\":\"t\"}");
                Receive(2, "{\"methodNameID\":2,\"notice_list\":[{\"notice_id\":5,\"new\":" + deep +
                               ",\"language\":\"en\"}]}");
                Assert.AreEqual(2, ResultDispatcher.DispatchPending());
                CollectionAssert.IsEmpty(Failures, "nested " + depth + " deep");
                var login = (LoginResult)Typed[Typed.Count - 2];
                var notice = ((NoticeResult)Typed[Typed.Count - 1]).Notices.Single();
                Assert.AreEqual(new object[] { "m", "o", "t", 5, "en" },
                                new object[] { login.Msg, login.OpenId, login.Token, notice.Id,
                                               notice.Language });
            }
        }

        [Test]
        public void TheLoginSnapshotIsThereOnlyWhileTheCoreHoldsALogin()
        {
            Assert.IsFalse(VeloLogin.TryGetLoginRet(out var none), "before any login");
            Assert.IsNull(none);
            VeloStandIn.SetAnswering(true);
            VeloLogin.Login("Guest", "", "", "");
            VeloStandIn.WaitForAnswers();
            Assert.IsTrue(VeloLogin.TryGetLoginRet(out var login), "logged in");
            Assert.AreEqual("Guest", login.Channel);
            VeloLogin.Logout("Guest", "", false);
            VeloStandIn.WaitForAnswers();
            Assert.IsFalse(VeloLogin.TryGetLoginRet(out _), "after the logout");
        }

        [Test]
        public void TheRawTextAndTheLoginSnapshotAreTheAdapters()
        {
            VeloStandIn.Fire("base", "{\"methodNameID\":1,\"msg\":\"" + Unicode + "\"}", false);
            ResultDispatcher.DispatchPending();
            Assert.AreEqual("{\"methodNameID\":1,\"retCode\":-1,\"retMsg\":\"\",\"ret\":-1," +
                                "\"msg\":\"" + Unicode + "\",\"extraJson\":\"\"}",
                            Raw.Single().Value);
            Assert.IsTrue(VeloStandIn.SetLoginRet("{\"openid\":\"" + Unicode +
                                                  "\",\"birthdate\":\"" + T(0) + "\"}"));
            Assert.IsTrue(VeloLogin.TryGetLoginRet(out var login));
            Assert.AreEqual(new[] { Unicode, T(0), "" },
                            new[] { login.OpenId, login.Birthdate, login.UserName });
        }
    }
}
