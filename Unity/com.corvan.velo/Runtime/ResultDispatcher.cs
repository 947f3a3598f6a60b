using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Threading;
using System.Threading.Tasks;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The one door through which results reach the game. The native callback, on whatever
    /// thread the core chose, reads each result text into its typed result and queues it; the
    /// game dispatches the queue on its own thread (in Unity, the main thread, once a frame),
    /// where each result's handlers are called and its awaiting tasks completed, in the order the
    /// results arrived. The typed events are on the facade of the service that answers them:
    /// <see cref="VeloLogin"/>, <see cref="VeloAccount"/>, <see cref="VeloNotice"/> and
    /// <see cref="VeloWebView"/>.
    /// </summary>
    public static class ResultDispatcher
    {
        private struct Pending
        {
            public int MethodNameID;
            public string Json;       // kept only while ResultReceived has a handler
            public BaseResult Result; // null when the text could not be read
            public VeloAdapterException Failure;
        }

        private static readonly object Gate = new object();
        private static Queue<Pending> queue = new Queue<Pending>();

        [ThreadStatic]
        private static bool dispatching;

        private static readonly Handlers<Action<int, string>> Raw =
            new Handlers<Action<int, string>>();
        internal static readonly Handlers<Action<LoginResult>> Login =
            new Handlers<Action<LoginResult>>();
        internal static readonly Handlers<Action<BaseResult>> Envelope =
            new Handlers<Action<BaseResult>>();
        internal static readonly Handlers<Action<QrCodeResult>> QrCode =
            new Handlers<Action<QrCodeResult>>();
        internal static readonly Handlers<Action<AccountResult>> Account =
            new Handlers<Action<AccountResult>>();
        internal static readonly Handlers<Action<NoticeResult>> Notice =
            new Handlers<Action<NoticeResult>>();
        internal static readonly Handlers<Action<WebViewResult>> WebView =
            new Handlers<Action<WebViewResult>>();
        private static readonly Handlers<Action<VeloAdapterException>> Failed =
            new Handlers<Action<VeloAdapterException>>();

        private static int maxResultsPerFrame = int.MaxValue;
        private static TimeSpan frameBudget = TimeSpan.MaxValue;

        /// <summary>Every result as its method number and JSON text, before its typed event.
        /// Raised for the results that arrived while it had a handler: keeping the text costs
        /// a copy of it, so it is kept only then.</summary>
        public static event Action<int, string> ResultReceived
        {
            add => Raw.Add(value);
            remove => Raw.Remove(value);
        }

        /// <summary>A result that could not be read (<see
        /// cref="VeloErrorReason.ResultUnreadable"/>) or an exception thrown by a handler (<see
        /// cref="VeloErrorReason.HandlerFailed"/>, the handler's exception inside), raised on the
        /// dispatching thread. Every handler of a result is called whatever the others throw, and
        /// each failure is raised here once.
        /// </summary>
        public static event Action<VeloAdapterException> DispatchFailed
        {
            add => Failed.Add(value);
            remove => Failed.Remove(value);
        }

        /// <summary>At most this many results a frame from the package's dispatcher; the rest
        /// wait, in order, for the next frame. No limit by default.</summary>
        /// <exception cref="ArgumentOutOfRangeException">Set to 0 or less, which would never
        /// dispatch again.</exception>
        public static int MaxResultsPerFrame
        {
            get => maxResultsPerFrame;
            set => maxResultsPerFrame = Positive(value, nameof(MaxResultsPerFrame));
        }

        /// <summary>The package's dispatcher stops dispatching once a frame has spent this long
        /// on it (it dispatches at least one result a frame). No limit by default.</summary>
        /// <exception cref="ArgumentOutOfRangeException">Set to zero or less.</exception>
        public static TimeSpan FrameBudget
        {
            get => frameBudget;
            set {
                if (value <= TimeSpan.Zero)
                {
                    throw new ArgumentOutOfRangeException(nameof(FrameBudget), value,
                                                          "The frame budget must be positive.");
                }
                frameBudget = value;
            }
        }

        /// <summary>Results waiting for <see cref="DispatchPending()"/>.</summary>
        public static int PendingCount
        {
            get {
                lock (Gate)
                {
                    return queue.Count;
                }
            }
        }

        /// <summary>Raises the events of the results that were waiting when it began, in order,
        /// on the calling thread; results that arrive meanwhile wait for the next call. Returns
        /// how many results it dispatched. Failures go to <see cref="DispatchFailed"/>; with no
        /// handler for that, they are thrown once the call is done, as one
        /// <see cref="VeloAdapterException"/> (several inside an
        /// <see cref="AggregateException"/>) whose
        /// <see cref="VeloAdapterException.DispatchedCount"/> is the count the call would have
        /// returned. Called from a handler (a dispatch already running on this thread), it
        /// dispatches nothing and returns 0: the running dispatch goes on, in order and within
        /// its bounds.</summary>
        public static int DispatchPending()
        {
            return Dispatch(int.MaxValue, TimeSpan.MaxValue);
        }

        /// <summary>As <see cref="DispatchPending()"/>, at most <paramref name="maxResults"/>
        /// results; the rest stay queued, in order.</summary>
        /// <param name="maxResults">The most results to dispatch.</param>
        /// <exception cref="ArgumentOutOfRangeException"><paramref name="maxResults"/> is 0 or
        /// less.</exception>
        public static int DispatchPending(int maxResults)
        {
            return Dispatch(Positive(maxResults, nameof(maxResults)), TimeSpan.MaxValue);
        }

        /// <summary>As <see cref="DispatchPending()"/>, until <paramref name="budget"/> has been
        /// spent (at least one result); the rest stay queued, in order.</summary>
        /// <param name="budget">The time to spend at most, but for the first result.</param>
        public static int DispatchPending(TimeSpan budget)
        {
            return Dispatch(int.MaxValue, budget);
        }

        /// <summary>The next result of kind <typeparamref name="T"/> that
        /// <paramref name="predicate"/> accepts (any, when null). The task completes on the
        /// dispatching thread when that result is dispatched, after its events and before the
        /// next result's; code awaiting it continues there only when it captured that thread's
        /// synchronization context (as code on Unity's main thread does), and code awaiting on
        /// another thread continues on the thread pool, never inside the dispatch. It is
        /// cancelled by <paramref name="cancellationToken"/>, and ended with an
        /// <see cref="OperationCanceledException"/> saying why by
        /// <see cref="VeloAdapter.Shutdown"/>, quitting, a script reload and entering play mode
        /// afresh. The core does not say which method number answers which request: name what
        /// you wait for in the predicate, and bound the wait with a timeout (see the overload
        /// that takes one). However the wait ends, nothing of it stays registered.</summary>
        /// <typeparam name="T">The kind of result, <see cref="BaseResult"/> for any.</typeparam>
        /// <param name="predicate">Which result; an exception it throws ends the task with it.
        /// </param>
        /// <param name="cancellationToken">Cancels the wait.</param>
        /// <exception cref="InvalidOperationException">Before <see cref="VeloAdapter.Initialize"/>:
        /// no result could ever arrive.</exception>
        public static Task<T> NextAsync<T>(Func<T, bool> predicate,
                                           CancellationToken cancellationToken = default)
            where T : BaseResult
        {
            VeloAdapter.RequireInitialized();
            return ResultWaits.Begin(predicate, Timeout.InfiniteTimeSpan, cancellationToken);
        }

        /// <summary>As <see cref="NextAsync{T}(Func{T, bool}, CancellationToken)"/>, ended with a
        /// <see cref="TimeoutException"/> when no such result has been dispatched within
        /// <paramref name="timeout"/>. One timer serves every wait's timeout.</summary>
        /// <typeparam name="T">The kind of result, <see cref="BaseResult"/> for any.</typeparam>
        /// <param name="predicate">Which result; an exception it throws ends the task with it.
        /// </param>
        /// <param name="timeout">How long to wait; <see cref="Timeout.InfiniteTimeSpan"/> for no
        /// limit.</param>
        /// <param name="cancellationToken">Cancels the wait.</param>
        /// <exception cref="ArgumentOutOfRangeException"><paramref name="timeout"/> is negative
        /// and not infinite.</exception>
        /// <exception cref="InvalidOperationException">Before <see cref="VeloAdapter.Initialize"/>:
        /// no result could ever arrive.</exception>
        public static Task<T> NextAsync<T>(Func<T, bool> predicate, TimeSpan timeout,
                                           CancellationToken cancellationToken = default)
            where T : BaseResult
        {
            if (timeout < TimeSpan.Zero && timeout != Timeout.InfiniteTimeSpan)
            {
                throw new ArgumentOutOfRangeException(nameof(timeout), timeout,
                                                      "The timeout must not be negative.");
            }
            VeloAdapter.RequireInitialized();
            return ResultWaits.Begin(predicate, timeout, cancellationToken);
        }

        /// <summary>One frame's dispatch, within the frame's bounds.</summary>
        internal static int DispatchFrame()
        {
            return Dispatch(MaxResultsPerFrame, FrameBudget);
        }

        private static int Dispatch(int maxResults, TimeSpan budget)
        {
            if (dispatching)
            {
                return 0;
            }
            dispatching = true;
            try
            {
                return DispatchQueued(maxResults, budget);
            }
            finally
            {
                dispatching = false;
            }
        }

        private static int DispatchQueued(int maxResults, TimeSpan budget)
        {
            var deadline = DeadlineAfter(budget);
            int waiting;
            lock (Gate)
            {
                waiting = Math.Min(queue.Count, maxResults);
            }
            var dispatched = 0;
            List<VeloAdapterException> unhandled = null;
            // The queue is first in, first out, so these are the results queued before the call.
            while (dispatched < waiting && (dispatched == 0 || deadline == long.MaxValue ||
                                            Stopwatch.GetTimestamp() < deadline))
            {
                Pending pending;
                lock (Gate)
                {
                    if (queue.Count == 0)
                    {
                        break; // reset meanwhile
                    }
                    pending = queue.Dequeue();
                }
                ++dispatched;
                if (pending.Failure != null)
                {
                    Fail(pending.Failure, ref unhandled);
                }
                Raise(pending, ref unhandled);
            }
            if (unhandled != null)
            {
                var thrown = unhandled.Count == 1
                                 ? unhandled[0]
                                 : new VeloAdapterException(
                                       unhandled[0].Reason,
                                       unhandled.Count + " failures while dispatching; " +
                                           "the first: " + unhandled[0].Message,
                                       new AggregateException(unhandled));
                thrown.DispatchedCount = dispatched;
                throw thrown;
            }
            return dispatched;
        }

        /// <summary>The <see cref="Stopwatch"/> time <paramref name="span"/> from now;
        /// <see cref="long.MaxValue"/> for <see cref="TimeSpan.MaxValue"/>, never.</summary>
        internal static long DeadlineAfter(TimeSpan span)
        {
            if (span == TimeSpan.MaxValue)
            {
                return long.MaxValue;
            }
            var ticks = span.TotalSeconds * Stopwatch.Frequency;
            return Stopwatch.GetTimestamp() +
                   (ticks >= long.MaxValue / 2 ? long.MaxValue / 2 : (long)ticks);
        }

        private static int Positive(int value, string name)
        {
            if (value <= 0)
            {
                throw new ArgumentOutOfRangeException(name, value, "Nothing would be dispatched.");
            }
            return value;
        }

        private static void Raise(Pending pending, ref List<VeloAdapterException> unhandled)
        {
            if (pending.Json != null)
            {
                foreach (var handler in Raw.Current)
                {
                    try
                    {
                        handler(pending.MethodNameID, pending.Json);
                    }
                    catch (Exception e)
                    {
                        Fail(HandlerFailed(e), ref unhandled);
                    }
                }
            }
            switch (pending.Result)
            {
            case null:
                return;
            case LoginResult login:
                Raise(Login, login, ref unhandled);
                break;
            case QrCodeResult qrCode:
                Raise(QrCode, qrCode, ref unhandled);
                break;
            case AccountResult account:
                Raise(Account, account, ref unhandled);
                break;
            case NoticeResult notices:
                Raise(Notice, notices, ref unhandled);
                break;
            case WebViewResult webView:
                Raise(WebView, webView, ref unhandled);
                break;
            default:
                Raise(Envelope, pending.Result, ref unhandled);
                break;
            }
            ResultWaits.Offer(pending.Result);
        }

        private static void Raise<T>(Handlers<Action<T>> handlers, T result,
                                     ref List<VeloAdapterException> unhandled)
        {
            foreach (var handler in handlers.Current)
            {
                try
                {
                    handler(result);
                }
                catch (Exception e)
                {
                    Fail(HandlerFailed(e), ref unhandled);
                }
            }
        }

        private static VeloAdapterException HandlerFailed(Exception e)
        {
            return new VeloAdapterException(VeloErrorReason.HandlerFailed,
                                            "A result handler threw: " + e.Message, e);
        }

        private static void Fail(VeloAdapterException failure,
                                 ref List<VeloAdapterException> unhandled)
        {
            var handlers = Failed.Current;
            if (handlers.Length == 0)
            {
                (unhandled = unhandled ?? new List<VeloAdapterException>()).Add(failure);
            }
            foreach (var handler in handlers)
            {
                try
                {
                    handler(failure);
                }
                catch (Exception e)
                {
                    (unhandled = unhandled ?? new List<VeloAdapterException>())
                        .Add(HandlerFailed(e));
                }
            }
        }

        /// <summary>Called on the core's thread: reads the result and queues it; never
        /// throws.</summary>
        internal static void Receive(int methodNameID, IntPtr json)
        {
            try
            {
                var pending = new Pending { MethodNameID = methodNameID };
                try
                {
                    pending.Result = ResultReader.Read(
                        json, Raw.Current.Length > 0 || VeloScenario.IsRecording, out pending.Json);
                }
                catch (Exception e)
                {
                    pending.Failure = new VeloAdapterException(
                        VeloErrorReason.ResultUnreadable,
                        "Result " + methodNameID + " could not be read: " + e.Message, e);
                }
                VeloScenario.Received(methodNameID, pending.Json, pending.Result);
                lock (Gate)
                {
                    queue.Enqueue(pending);
                }
            }
            catch (Exception)
            {
                // Nothing may reach native code; out of memory, the result is lost.
            }
        }

        /// <summary>Ends every awaiting task with an <see cref="OperationCanceledException"/>
        /// saying that the wait ended because of <paramref name="reason"/>.</summary>
        internal static void EndWaits(string reason)
        {
            ResultWaits.EndAll("The wait for a result ended: " + reason + ".");
        }

        /// <summary>Forgets waiting results and every handler and bound, then ends the awaiting
        /// tasks: what the ending starts (a retry that subscribes and awaits again) is kept.
        /// </summary>
        internal static void Reset(string reason = "the binding was reset")
        {
            lock (Gate)
            {
                queue = new Queue<Pending>();
            }
            Raw.Clear();
            Login.Clear();
            Envelope.Clear();
            QrCode.Clear();
            Account.Clear();
            Notice.Clear();
            WebView.Clear();
            Failed.Clear();
            maxResultsPerFrame = int.MaxValue;
            frameBudget = TimeSpan.MaxValue;
            EndWaits(reason);
        }
    }

    /// <summary>Handlers (or any items) copied on each change, so that raising them needs no
    /// lock and allocates nothing. Every change, clearing included, is made under one lock; a
    /// reader takes the current array once. A multicast delegate is kept as the handlers it
    /// holds, each called on its own.</summary>
    internal sealed class Handlers<T>
        where T : class
    {
        private static readonly T[] None = new T[0];
        private T[] items = None;

        internal T[] Current => Volatile.Read(ref items);

        internal void Add(T item)
        {
            foreach (var one in Split(item))
            {
                lock (this)
                {
                    var grown = new T[items.Length + 1];
                    Array.Copy(items, grown, items.Length);
                    grown[items.Length] = one;
                    Volatile.Write(ref items, grown);
                }
            }
        }

        /// <summary>Removes the last occurrence of each handler in `item`, as `-=` does.</summary>
        internal void Remove(T item)
        {
            foreach (var one in Split(item))
            {
                lock (this)
                {
                    var at = Array.LastIndexOf(items, one);
                    if (at < 0)
                    {
                        continue;
                    }
                    var shrunk = items.Length == 1 ? None : new T[items.Length - 1];
                    Array.Copy(items, shrunk, at);
                    Array.Copy(items, at + 1, shrunk, at, items.Length - at - 1);
                    Volatile.Write(ref items, shrunk);
                }
            }
        }

        /// <summary>Empties the list, under the lock that every change takes.</summary>
        internal void Clear()
        {
            lock (this)
            {
                Volatile.Write(ref items, None);
            }
        }

        private static IEnumerable<T> Split(T item)
        {
            if (item is Delegate handler)
            {
                foreach (var one in handler.GetInvocationList())
                {
                    yield return (T)(object)one;
                }
            }
            else if (item != null)
            {
                yield return item;
            }
        }
    }
}
