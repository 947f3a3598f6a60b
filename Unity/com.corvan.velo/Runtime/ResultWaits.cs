using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Globalization;
using System.Runtime.CompilerServices;
using System.Threading;
using System.Threading.Tasks;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The tasks awaiting results (<see cref="ResultDispatcher.NextAsync{T}(Func{T, bool},
    /// CancellationToken)"/>), kept by the kind of result they wait for. Every change to them,
    /// from any thread (a wait begun, answered, cancelled, timed out or ended by a reset), is
    /// made under one lock; a dispatch offers its result to a snapshot of the waits of its kind,
    /// taken under that lock, and completes them outside it. Beginning and ending a wait is O(1)
    /// amortised (O(log n) more with a timeout: one timer serves every timeout). A wait ends once:
    /// whichever way it ends, it leaves the lists, the timer and its token's registrations.
    /// </summary>
    internal static partial class ResultWaits
    {
        // The kinds of waits: for any result (BaseResult), for each kind of result with members
        // of its own, and for a type no result has.
        private const int AnyResult = 0;
        private const int NoResult = 6;

        private static readonly object Gate = new object();
        private static readonly Slots[] ByKind = {
            new Slots(), new Slots(), new Slots(), new Slots(),
            new Slots(), new Slots(), new Slots(),
        };
        private static readonly Slots None = new Slots(); // never holds a wait
        private static long begun; // numbers the waits in the order they began
        private static int listed; // waits in the lists, read without the lock
        private static Waiter[] timeouts = new Waiter[16]; // a binary heap, the earliest first
        private static int timeoutCount;
        private static Timer timer;

        [ThreadStatic]
        private static Waiter[] offered;

        /// <summary>Begins a wait for the next result of kind <typeparamref name="T"/> that
        /// <paramref name="predicate"/> accepts, ended with a <see cref="TimeoutException"/>
        /// after <paramref name="timeout"/> (none when infinite) and cancelled by
        /// <paramref name="token"/>.</summary>
        internal static Task<T> Begin<T>(Func<T, bool> predicate, TimeSpan timeout,
                                         CancellationToken token)
            where T : BaseResult
        {
            var waiter = new Waiter<T>(predicate, KindOf<T>());
            if (token.IsCancellationRequested)
            {
                waiter.Fail(new OperationCanceledException(token));
                return waiter.Task;
            }
            lock (Gate)
            {
                // Checked under the lock that ending every wait takes: a Shutdown on another
                // thread either ends this wait or made it throw here.
                VeloAdapter.RequireInitialized();
                waiter.Number = ++begun;
                ByKind[waiter.Kind].Add(waiter);
                Volatile.Write(ref listed, listed + 1);
                if (timeout != Timeout.InfiniteTimeSpan)
                {
                    waiter.Timeout = timeout;
                    waiter.Deadline = ResultDispatcher.DeadlineAfter(timeout);
                    AddTimeout(waiter);
                }
            }
            SchedulePoint("a wait is listed and its token not yet watched");
            waiter.Watch(token);
            return waiter.Task;
        }

        /// <summary>Offers a dispatched result to the waits of its kind and to those for any
        /// result, in the order they began.</summary>
        internal static void Offer(BaseResult result)
        {
            if (Volatile.Read(ref listed) == 0)
            {
                return; // a wait begun meanwhile waits for a later result
            }
            var snapshot = offered ?? new Waiter[16];
            offered = null; // taken while in use, should completing a wait lead back here
            var count = 0;
            try
            {
                lock (Gate)
                {
                    var kind = KindOf(result);
                    count = Snapshot(kind == AnyResult ? None : ByKind[kind], ByKind[AnyResult],
                                     ref snapshot);
                }
                for (var i = 0; i < count; ++i)
                {
                    snapshot[i].Offer(result);
                }
            }
            finally
            {
                Array.Clear(snapshot, 0, count);
                offered = snapshot;
            }
        }

        /// <summary>Ends every wait begun so far with an <see cref="OperationCanceledException"/>
        /// giving <paramref name="reason"/>. Waits begun meanwhile, even by the code that the
        /// ending runs, are not ended.</summary>
        internal static void EndAll(string reason)
        {
            var ending = new List<Waiter>();
            lock (Gate)
            {
                foreach (var slots in ByKind)
                {
                    slots.TakeAll(ending);
                }
                while (timeoutCount > 0)
                {
                    RemoveTimeout(timeoutCount - 1);
                }
                Volatile.Write(ref listed, 0);
            }
            ending.Sort((a, b) => a.Number.CompareTo(b.Number));
            foreach (var waiter in ending)
            {
                waiter.Fail(new OperationCanceledException(reason));
            }
        }

        /// <summary>Waits not yet ended (for the tests).</summary>
        internal static int Count => Volatile.Read(ref listed);

        // A point where the tests' build lets a test hold this thread (its definition,
        // csharp/Corvan.Velo.Unity/SchedulePoints.cs, is compiled there only); elsewhere the
        // compiler drops the calls.
        static partial void SchedulePoint(string point);

        private static int KindOf<T>()
            where T : BaseResult
        {
            return typeof(T) == typeof(BaseResult)      ? AnyResult
                   : typeof(T) == typeof(LoginResult)   ? 1
                   : typeof(T) == typeof(QrCodeResult)  ? 2
                   : typeof(T) == typeof(AccountResult) ? 3
                   : typeof(T) == typeof(NoticeResult)  ? 4
                   : typeof(T) == typeof(WebViewResult) ? 5
                                                        : NoResult;
        }

        private static int KindOf(BaseResult result)
        {
            switch (result)
            {
            case LoginResult _:
                return 1;
            case QrCodeResult _:
                return 2;
            case AccountResult _:
                return 3;
            case NoticeResult _:
                return 4;
            case WebViewResult _:
                return 5;
            default:
                return AnyResult; // the envelope kind: only waits for any result take it
            }
        }

        /// <summary>Copies the waits of both lists into <paramref name="into"/>, in the order
        /// they began; returns how many.</summary>
        private static int Snapshot(Slots own, Slots any, ref Waiter[] into)
        {
            var count = own.Live + any.Live;
            if (into.Length < count)
            {
                into = new Waiter[Math.Max(count, into.Length * 2)];
            }
            int i = 0, j = 0, taken = 0;
            while (true)
            {
                while (i < own.Count && own.Items[i] == null)
                {
                    ++i;
                }
                while (j < any.Count && any.Items[j] == null)
                {
                    ++j;
                }
                if (i == own.Count && j == any.Count)
                {
                    return taken;
                }
                into[taken++] =
                    j == any.Count || i < own.Count && own.Items[i].Number < any.Items[j].Number
                        ? own.Items[i++]
                        : any.Items[j++];
            }
        }

        private static void Unlist(Waiter waiter)
        {
            lock (Gate)
            {
                if (waiter.Slot >= 0)
                {
                    ByKind[waiter.Kind].Remove(waiter);
                    Volatile.Write(ref listed, listed - 1);
                }
                if (waiter.HeapIndex >= 0)
                {
                    RemoveTimeout(waiter.HeapIndex); // the timer may fire early, finding nothing
                }
            }
        }

        // --- The timeouts: a binary heap by deadline, served by one timer -----------------------

        private static void AddTimeout(Waiter waiter)
        {
            if (timeoutCount == timeouts.Length)
            {
                Array.Resize(ref timeouts, timeouts.Length * 2);
            }
            Place(waiter, timeoutCount++);
            SiftUp(waiter.HeapIndex);
            if (waiter.HeapIndex == 0)
            {
                Arm();
            }
        }

        private static void RemoveTimeout(int at)
        {
            timeouts[at].HeapIndex = -1;
            var last = timeouts[--timeoutCount];
            timeouts[timeoutCount] = null;
            if (at < timeoutCount)
            {
                Place(last, at);
                SiftUp(at);
                SiftDown(last.HeapIndex);
            }
        }

        private static void SiftUp(int at)
        {
            while (at > 0 && timeouts[at].Deadline < timeouts[(at - 1) / 2].Deadline)
            {
                Swap(at, (at - 1) / 2);
                at = (at - 1) / 2;
            }
        }

        private static void SiftDown(int at)
        {
            while (true)
            {
                var earliest = at;
                for (var child = 2 * at + 1; child <= 2 * at + 2 && child < timeoutCount; ++child)
                {
                    if (timeouts[child].Deadline < timeouts[earliest].Deadline)
                    {
                        earliest = child;
                    }
                }
                if (earliest == at)
                {
                    return;
                }
                Swap(at, earliest);
                at = earliest;
            }
        }

        private static void Swap(int a, int b)
        {
            var first = timeouts[a];
            Place(timeouts[b], a);
            Place(first, b);
        }

        private static void Place(Waiter waiter, int at)
        {
            timeouts[at] = waiter;
            waiter.HeapIndex = at;
        }

        /// <summary>Sets the timer to the earliest deadline (under the lock).</summary>
        private static void Arm()
        {
            if (timeoutCount == 0)
            {
                return; // if it fires, it finds nothing due
            }
            var ticks = timeouts[0].Deadline - Stopwatch.GetTimestamp();
            var milliseconds = ticks <= 0
                                   ? 0
                                   : Math.Min((long)(ticks * 1000.0 / Stopwatch.Frequency) + 1,
                                              uint.MaxValue - 1L); // the timer's longest
            if (timer == null)
            {
                timer = new Timer(Expire, null, Timeout.Infinite, Timeout.Infinite);
            }
            timer.Change(milliseconds, Timeout.Infinite);
        }

        /// <summary>The timer's callback: ends the waits whose deadline has passed, earliest
        /// first, then sets the timer again.</summary>
        private static void Expire(object unused)
        {
            var due = new List<Waiter>();
            lock (Gate)
            {
                var now = Stopwatch.GetTimestamp();
                while (timeoutCount > 0 && timeouts[0].Deadline <= now)
                {
                    due.Add(timeouts[0]);
                    RemoveTimeout(0);
                }
            }
            foreach (var waiter in due)
            {
                waiter.Fail(new TimeoutException(
                    "No result was awaited in time: the wait timed out after " +
                    waiter.Timeout.TotalSeconds.ToString(CultureInfo.InvariantCulture) + " s."));
            }
            lock (Gate)
            {
                Arm();
            }
        }

        /// <summary>The waits of one kind in the order they began. An ended wait leaves a hole,
        /// squeezed out when the list is full and at least half holes (otherwise the list
        /// grows), so that adding and removing are O(1) amortised.</summary>
        private sealed class Slots
        {
            internal Waiter[] Items = new Waiter[4];
            internal int Count; // slots in use, holes included
            internal int Live;

            internal void Add(Waiter waiter)
            {
                if (Count == Items.Length)
                {
                    if (Live <= Items.Length / 2)
                    {
                        Squeeze();
                    }
                    else
                    {
                        Array.Resize(ref Items, Items.Length * 2);
                    }
                }
                waiter.Slot = Count;
                Items[Count++] = waiter;
                ++Live;
            }

            internal void Remove(Waiter waiter)
            {
                Items[waiter.Slot] = null;
                waiter.Slot = -1;
                if (--Live == 0)
                {
                    Count = 0;
                }
            }

            internal void TakeAll(List<Waiter> into)
            {
                for (var i = 0; i < Count; ++i)
                {
                    if (Items[i] != null)
                    {
                        Items[i].Slot = -1;
                        into.Add(Items[i]);
                    }
                }
                Array.Clear(Items, 0, Count);
                Count = Live = 0;
            }

            private void Squeeze()
            {
                var kept = 0;
                for (var i = 0; i < Count; ++i)
                {
                    if (Items[i] != null)
                    {
                        Items[kept] = Items[i];
                        Items[kept].Slot = kept++;
                    }
                }
                Array.Clear(Items, kept, Count - kept);
                Count = kept;
            }
        }

        /// <summary>One wait. It ends once, by whichever comes first: its result, its
        /// predicate's exception, its token, its timeout or the end of every wait.</summary>
        private abstract class Waiter
        {
            internal readonly int Kind;
            internal long Number;   // its place in the order the waits began
            internal int Slot = -1; // in its kind's list; -1 when not listed
            internal long Deadline;
            internal TimeSpan Timeout;
            internal int HeapIndex = -1; // in the timeouts; -1 when not there

            private volatile bool ended; // set under the wait's lock, read without
            private CancellationToken token;
            private CancellationTokenRegistration watching;

            protected Waiter(int kind)
            {
                Kind = kind;
            }

            /// <summary>Completes the task if `result` is the one awaited (or ends it with the
            /// predicate's exception).</summary>
            internal abstract void Offer(BaseResult result);

            /// <summary>Ends the task with `failure` (an OperationCanceledException cancels it),
            /// unless it has ended already.</summary>
            internal abstract void Fail(Exception failure);

            /// <summary>Cancels the wait when `token` is cancelled; a wait that ended meanwhile
            /// gives the registration up at once.</summary>
            internal void Watch(CancellationToken cancellation)
            {
                if (!cancellation.CanBeCanceled)
                {
                    return;
                }
                token = cancellation;
                var registration = cancellation.Register(Cancel, this);
                lock (this)
                {
                    if (!ended)
                    {
                        watching = registration;
                        return;
                    }
                }
                registration.Dispose();
            }

            protected bool HasEnded => ended;

            /// <summary>True for the one caller that ends the wait: it leaves the lists, the
            /// timeouts and its token.</summary>
            protected bool TryEnd()
            {
                CancellationTokenRegistration registration;
                lock (this)
                {
                    if (ended)
                    {
                        return false;
                    }
                    ended = true;
                    registration = watching;
                    watching = default;
                }
                Unlist(this);
                registration.Dispose(); // outside every lock: it waits for a running Cancel
                return true;
            }

            private static readonly Action<object> Cancel = state =>
            {
                var waiter = (Waiter)state;
                waiter.Fail(new OperationCanceledException(waiter.token));
            };
        }

        private sealed class Waiter<T> : Waiter
            where T : BaseResult
        {
            internal readonly Task<T> Task;
            private readonly Func<T, bool> predicate;
            // Not a TaskCompletionSource: only a builder ends a task cancelled with an exception
            // that says why.
            private AsyncTaskMethodBuilder<T> completion = AsyncTaskMethodBuilder<T>.Create();

            internal Waiter(Func<T, bool> predicate, int kind) : base(kind)
            {
                this.predicate = predicate;
                Task = completion.Task;
            }

            internal override void Offer(BaseResult result)
            {
                if (!(result is T typed) || HasEnded)
                {
                    return;
                }
                try
                {
                    if (predicate != null && !predicate(typed))
                    {
                        return;
                    }
                }
                catch (Exception e)
                {
                    Complete(default, e);
                    return;
                }
                Complete(typed, null);
            }

            internal override void Fail(Exception failure)
            {
                Complete(default, failure);
            }

            private void Complete(T result, Exception failure)
            {
                if (!TryEnd())
                {
                    return;
                }
                // The runtime runs an await's continuation on the completing thread only where
                // no synchronization context other than the default is current. On a thread
                // without one of its own, this one is current while the task completes, so that
                // code awaiting elsewhere (a worker thread) is queued to the thread pool instead
                // of running here, inside a dispatch, a Shutdown or a cancellation. Code that
                // captured this thread's own context, or that asked for synchronous execution,
                // still runs here.
                var context = SynchronizationContext.Current;
                var own = context != null && context.GetType() != typeof(SynchronizationContext);
                if (!own)
                {
                    SynchronizationContext.SetSynchronizationContext(QueueingContext.Instance);
                }
                try
                {
                    if (failure == null)
                    {
                        completion.SetResult(result);
                    }
                    else
                    {
                        completion.SetException(failure);
                    }
                }
                finally
                {
                    if (!own)
                    {
                        SynchronizationContext.SetSynchronizationContext(context);
                    }
                }
            }
        }

        /// <summary>Posts to the thread pool, as the default context does; being current, it
        /// keeps continuations off the completing thread.</summary>
        private sealed class QueueingContext : SynchronizationContext
        {
            internal static readonly QueueingContext Instance = new QueueingContext();
        }
    }
}
