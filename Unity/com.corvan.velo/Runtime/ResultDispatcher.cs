using System;
using System.Collections.Concurrent;
using System.Threading;
using Newtonsoft.Json.Linq;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The one door through which results reach the game. The native callback, on whatever
    /// thread the core chose, only copies the method number and text into a queue; the game
    /// drains it on its own thread, where the typed events are raised.
    /// </summary>
    public static class ResultDispatcher
    {
        private struct Pending
        {
            public int MethodNameID;
            public string Json;
            public Exception Failure;
        }

        private static ConcurrentQueue<Pending> queue = new ConcurrentQueue<Pending>();

        /// <summary>Every result, before its typed event: method number and JSON text.</summary>
        public static event Action<int, string> ResultReceived;
        public static event Action<LoginResult> LoginResultReceived;
        public static event Action<BaseResult> BaseResultReceived;
        public static event Action<QrCodeResult> QrCodeResultReceived;
        public static event Action<AccountResult> AccountResultReceived;
        public static event Action<NoticeResult> NoticeResultReceived;
        public static event Action<WebViewResult> WebViewResultReceived;
        /// <summary>A result that could not be read, or an exception thrown by a handler.</summary>
        public static event Action<Exception> DispatchFailed;

        /// <summary>Results waiting for <see cref="DispatchPending"/>.</summary>
        public static int PendingCount
        {
            get {
                return queue.Count;
            }
        }

        /// <summary>Raises the events of every waiting result on the calling thread; returns how
        /// many results it dispatched. A handler's exception goes to DispatchFailed (or, with no
        /// handler for that, is rethrown after the queue is drained).</summary>
        public static int DispatchPending()
        {
            var dispatched = 0;
            Exception unhandled = null;
            Pending pending;
            while (queue.TryDequeue(out pending))
            {
                var failure = pending.Failure;
                if (failure == null)
                {
                    ++dispatched;
                    try
                    {
                        Raise(pending.MethodNameID, pending.Json);
                    }
                    catch (Exception e)
                    {
                        failure = e;
                    }
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

        /// <summary>Called on the core's thread: copies and queues, and never throws.</summary>
        internal static void Enqueue(int methodNameID, IntPtr json)
        {
            try
            {
                queue.Enqueue(
                    new Pending { MethodNameID = methodNameID, Json = Utf8.FromNative(json) });
            }
            catch (Exception e)
            {
                try
                {
                    queue.Enqueue(new Pending { MethodNameID = methodNameID, Failure = e });
                }
                catch (Exception)
                {
                    // Nothing may reach native code; out of memory, the result is lost.
                }
            }
        }

        /// <summary>Forgets waiting results and every handler.</summary>
        internal static void Reset()
        {
            Interlocked.Exchange(ref queue, new ConcurrentQueue<Pending>());
            ResultReceived = null;
            LoginResultReceived = null;
            BaseResultReceived = null;
            QrCodeResultReceived = null;
            AccountResultReceived = null;
            NoticeResultReceived = null;
            WebViewResultReceived = null;
            DispatchFailed = null;
        }

        private static void Raise(int methodNameID, string json)
        {
            var received = ResultReceived;
            if (received != null)
            {
                received(methodNameID, json);
            }
            var result = JObject.Parse(json);
            // The kinds are told apart by the members only they have.
            if (result["notice_list"] != null)
            {
                Raise(NoticeResultReceived, result);
            }
            else if (result["qrCodeUrl"] != null)
            {
                Raise(QrCodeResultReceived, result);
            }
            else if (result["openid"] != null)
            {
                Raise(LoginResultReceived, result);
            }
            else if (result["msgType"] != null)
            {
                Raise(WebViewResultReceived, result);
            }
            else if (result["is_register"] != null)
            {
                Raise(AccountResultReceived, result);
            }
            else
            {
                Raise(BaseResultReceived, result);
            }
        }

        private static void Raise<T>(Action<T> handler, JObject result)
        {
            if (handler != null)
            {
                handler(result.ToObject<T>());
            }
        }
    }
}
