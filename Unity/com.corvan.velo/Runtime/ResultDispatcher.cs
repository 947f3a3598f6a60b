using System;
using System.Collections.Generic;
using System.Diagnostics;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The one door through which results reach the game. The native callback, on whatever
    /// thread the core chose, reads each result text into its typed result and queues it; the
    /// game dispatches the queue on its own thread (in Unity, the main thread, once a frame),
    /// where the events are raised in the order the results arrived.
    /// </summary>
    public static class ResultDispatcher
    {
        private struct Pending
        {
            public int MethodNameID;
            public string Json;       // kept only while ResultReceived has a handler
            public BaseResult Result; // null when the text could not be read
            public Exception Failure;
        }

        private static readonly object Gate = new object();
        private static Queue<Pending> queue = new Queue<Pending>();

        /// <summary>Every result as its method number and JSON text, before its typed event.
        /// Raised for the results that arrived while it had a handler: keeping the text costs
        /// a copy of it, so it is kept only then.</summary>
        public static event Action<int, string> ResultReceived;
        public static event Action<LoginResult> LoginResultReceived;
        public static event Action<BaseResult> BaseResultReceived;
        public static event Action<QrCodeResult> QrCodeResultReceived;
        public static event Action<AccountResult> AccountResultReceived;
        public static event Action<NoticeResult> NoticeResultReceived;
        public static event Action<WebViewResult> WebViewResultReceived;
        /// <summary>A result that could not be read, or an exception thrown by a handler.</summary>
        public static event Action<Exception> DispatchFailed;

        /// <summary>At most this many results a frame from the package's dispatcher; the rest
        /// wait, in order, for the next frame. No limit by default.</summary>
        public static int MaxResultsPerFrame { get; set; } = int.MaxValue;

        /// <summary>The package's dispatcher stops dispatching once a frame has spent this long
        /// on it (it dispatches at least one result a frame). No limit by default.</summary>
        public static TimeSpan FrameBudget { get; set; } = TimeSpan.MaxValue;

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
        /// how many results it dispatched. A handler's exception goes to DispatchFailed (or, with
        /// no handler for that, is rethrown once the call is done).</summary>
        public static int DispatchPending()
        {
            return Dispatch(int.MaxValue, TimeSpan.MaxValue);
        }

        /// <summary>As <see cref="DispatchPending()"/>, at most <paramref name="maxResults"/>
        /// results; the rest stay queued, in order.</summary>
        public static int DispatchPending(int maxResults)
        {
            return Dispatch(maxResults, TimeSpan.MaxValue);
        }

        /// <summary>As <see cref="DispatchPending()"/>, until <paramref name="budget"/> has been
        /// spent (at least one result); the rest stay queued, in order.</summary>
        public static int DispatchPending(TimeSpan budget)
        {
            return Dispatch(int.MaxValue, budget);
        }

        /// <summary>One frame's dispatch, within the frame's bounds.</summary>
        internal static int DispatchFrame()
        {
            return Dispatch(MaxResultsPerFrame, FrameBudget);
        }

        private static int Dispatch(int maxResults, TimeSpan budget)
        {
            var clock = budget == TimeSpan.MaxValue ? null : Stopwatch.StartNew();
            int waiting;
            lock (Gate)
            {
                waiting = Math.Min(queue.Count, maxResults);
            }
            var dispatched = 0;
            Exception unhandled = null;
            // The queue is first in, first out, so these are the results queued before the call.
            while (dispatched < waiting &&
                   (clock == null || dispatched == 0 || clock.Elapsed < budget))
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
                var failure = pending.Failure;
                try
                {
                    Raise(pending);
                }
                catch (Exception e)
                {
                    failure = e;
                }
                if (failure != null)
                {
                    var failed = DispatchFailed;
                    if (failed != null)
                    {
                        failed(failure);
                    }
                    else if (unhandled == null)
                    {
                        unhandled = failure;
                    }
                }
            }
            if (unhandled != null)
            {
                throw new VeloAdapterException("A result could not be dispatched.", unhandled);
            }
            return dispatched;
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
                    pending.Result =
                        ResultReader.Read(json, ResultReceived != null, out pending.Json);
                }
                catch (Exception e)
                {
                    pending.Failure = new VeloAdapterException(
                        "Result " + methodNameID + " could not be read: " + e.Message, e);
                }
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

        /// <summary>Forgets waiting results and every handler and bound.</summary>
        internal static void Reset()
        {
            lock (Gate)
            {
                queue = new Queue<Pending>();
            }
            ResultReceived = null;
            LoginResultReceived = null;
            BaseResultReceived = null;
            QrCodeResultReceived = null;
            AccountResultReceived = null;
            NoticeResultReceived = null;
            WebViewResultReceived = null;
            DispatchFailed = null;
            MaxResultsPerFrame = int.MaxValue;
            FrameBudget = TimeSpan.MaxValue;
        }

        private static void Raise(Pending pending)
        {
            if (pending.Json != null)
            {
                ResultReceived?.Invoke(pending.MethodNameID, pending.Json);
            }
            switch (pending.Result)
            {
            case LoginResult login:
                LoginResultReceived?.Invoke(login);
                break;
            case QrCodeResult qrCode:
                QrCodeResultReceived?.Invoke(qrCode);
                break;
            case AccountResult account:
                AccountResultReceived?.Invoke(account);
                break;
            case NoticeResult notices:
                NoticeResultReceived?.Invoke(notices);
                break;
            case WebViewResult webView:
                WebViewResultReceived?.Invoke(webView);
                break;
            case BaseResult result:
                BaseResultReceived?.Invoke(result);
                break;
            }
        }
    }
}
