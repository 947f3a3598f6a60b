using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using Newtonsoft.Json;
using Newtonsoft.Json.Linq;

// The stand-in core exists in the editor only (its library is left out of player builds): so
// does its control, so that a game cannot ship a call that would fail only in players.
#if UNITY_EDITOR
namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Control of the stand-in core that ships in place of the real one for the editor and
    /// tests: it records every call, fires any result, and in answering mode answers requests
    /// from a thread of its own the way the real core does, so that a game's whole flow runs
    /// without the real core. The real core has none of this: <see cref="IsAvailable"/> is false.
    /// </summary>
    public static partial class VeloStandIn
    {
        private const string Library = "VeloCore";

        /// <summary>One argument as the core received it.</summary>
        public sealed class Argument
        {
            /// <summary>"text" (a String), "int", "flag" or "ctext" (a C text).</summary>
            public string Kind;

            /// <summary>Text and C text: the bytes received.</summary>
            public byte[] Bytes;

            /// <summary>Text: the String's length.</summary>
            public int Length;

            /// <summary>Text: whether a zero byte followed it.</summary>
            public bool Terminated;

            /// <summary>C text: whether it was a null pointer.</summary>
            public bool IsNull;

            /// <summary>Integer: its value.</summary>
            public int Int;

            /// <summary>Flag: its value.</summary>
            public bool Flag;
        }

        /// <summary>One call the core received.</summary>
        public sealed class Call
        {
            /// <summary>The core's operation, as named in its facade.</summary>
            public string Operation;

            /// <summary>Its arguments, in order.</summary>
            public List<Argument> Arguments = new List<Argument>();
        }

        /// <summary>Whether the stand-in core is the one loaded (false with the real core).
        /// </summary>
        public static bool IsAvailable
        {
            get {
                try
                {
                    veloStandInCallCount();
                    return true;
                }
                catch (DllNotFoundException)
                {
                    return false;
                }
                catch (EntryPointNotFoundException)
                {
                    return false;
                }
            }
        }

        /// <summary>Leaves answering mode, stops the scenario playing, gives the core its real
        /// clock back, waits for the answers queued on the core's thread, then forgets recorded
        /// calls and restores the default answers. False when called on the core's own thread,
        /// where it resets at once without waiting.</summary>
        public static bool Reset()
        {
            return veloStandInReset();
        }

        /// <summary>In answering mode the stand-in answers each request from its own thread,
        /// as the real core does.</summary>
        /// <param name="on">Whether to answer.</param>
        public static void SetAnswering(bool on)
        {
            veloStandInSetAnswering(on);
        }

        /// <summary>Waits until everything queued on the core's thread has run (with the manual
        /// clock: everything that is due). False, at once, when called on the core's own
        /// thread, which cannot wait for itself.</summary>
        public static bool WaitForAnswers()
        {
            return veloStandInWaitForAnswers();
        }

        /// <summary>Keeps at most the latest <paramref name="limit"/> calls (default 4096), so
        /// that a session of any length runs in bounded memory.</summary>
        /// <param name="limit">The most calls kept.</param>
        public static void SetRecordLimit(int limit)
        {
            veloStandInSetRecordLimit(limit);
        }

        /// <summary>Calls dropped from the record since the last reset.</summary>
        public static long DroppedCallCount
        {
            get {
                return veloStandInDroppedCallCount();
            }
        }

        /// <summary>Why the last call of this thread that returns false on failure
        /// (<see cref="Fire"/>, <see cref="SetLoginRet"/>, the scenario and clock calls)
        /// failed; empty when it did not.</summary>
        public static string LastError
        {
            get {
                var text = veloStandInLastError();
                try
                {
                    return Utf8.FromNative(text);
                }
                finally
                {
                    veloStandInReleaseText(text);
                }
            }
        }

        /// <summary>The calls recorded since the last reset, oldest first.</summary>
        public static List<Call> Calls()
        {
            var calls = new List<Call>();
            var count = veloStandInCallCount();
            for (var i = 0; i < count; ++i)
            {
                var text = veloStandInCallJson(i);
                try
                {
                    calls.Add(ParseCall(Utf8.FromNative(text)));
                }
                finally
                {
                    veloStandInReleaseText(text);
                }
            }
            return calls;
        }

        /// <summary>Fires a result through the installed observer of its kind ("login", "base",
        /// "qrcode", "account", "notice" or "webview"), given as JSON with the record's members.
        /// With fromCoreThread it is fired later, from the core's own thread. False, with the
        /// reason in <see cref="LastError"/>, for a record it cannot read or an unknown kind.
        /// </summary>
        /// <param name="kind">The kind of result.</param>
        /// <param name="recordJson">The record's members, as JSON.</param>
        /// <param name="fromCoreThread">Fire it later, from the core's thread.</param>
        public static bool Fire(string kind, string recordJson, bool fromCoreThread)
        {
            return veloStandInFire(Utf8.ToNative(kind, nameof(kind)),
                                   Utf8.ToNative(recordJson, nameof(recordJson)), fromCoreThread);
        }

        /// <summary>What the login snapshot reports (null restores the default); false, with
        /// the reason in <see cref="LastError"/>, for a record it cannot read.</summary>
        /// <param name="recordJson">The record's members, as JSON.</param>
        public static bool SetLoginRet(string recordJson)
        {
            return veloStandInSetLoginRet(Utf8.ToNative(recordJson, nameof(recordJson)));
        }

        /// <summary>What <see cref="VeloNotice.LoadNoticeData"/> answers at once.</summary>
        /// <param name="text">The answer.</param>
        public static void SetNoticeData(string text)
        {
            veloStandInSetNoticeData(Utf8.ToNative(text, nameof(text)));
        }

        /// <summary>What <see cref="VeloWebView.GetEncodeUrl"/> answers.</summary>
        /// <param name="text">The answer.</param>
        public static void SetEncodeUrl(string text)
        {
            veloStandInSetEncodeUrl(Utf8.ToNative(text, nameof(text)));
        }

        private static Call ParseCall(string json)
        {
            JObject parsed;
            using (var reader = new JsonTextReader(new System.IO.StringReader(
                       json)) { DateParseHandling = DateParseHandling.None })
            {
                parsed = JObject.Load(reader);
            }
            var call = new Call { Operation = (string)parsed["operation"] };
            foreach (var arg in (JArray)parsed["args"])
            {
                var argument = new Argument { Kind = (string)arg["kind"] };
                if (arg["hex"] != null)
                {
                    argument.Bytes = FromHex((string)arg["hex"]);
                }
                if (argument.Kind == "text")
                {
                    argument.Length = (int)arg["length"];
                    argument.Terminated = (bool)arg["terminated"];
                }
                else if (argument.Kind == "ctext")
                {
                    argument.IsNull = (bool)arg["null"];
                }
                else if (argument.Kind == "int")
                {
                    argument.Int = (int)arg["value"];
                }
                else if (argument.Kind == "flag")
                {
                    argument.Flag = (bool)arg["value"];
                }
                call.Arguments.Add(argument);
            }
            return call;
        }

        private static byte[] FromHex(string hex)
        {
            var bytes = new byte[hex.Length / 2];
            for (var i = 0; i < bytes.Length; ++i)
            {
                bytes[i] = Convert.ToByte(hex.Substring(2 * i, 2), 16);
            }
            return bytes;
        }

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInReset();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInSetAnswering([MarshalAs(UnmanagedType.I1)] bool on);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInWaitForAnswers();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInSetRecordLimit(int limit);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern long veloStandInDroppedCallCount();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern IntPtr veloStandInLastError();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern int veloStandInCallCount();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern IntPtr veloStandInCallJson(int index);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInReleaseText(IntPtr text);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInFire(
            byte[] kind, byte[] recordJson, [MarshalAs(UnmanagedType.I1)] bool fromCoreThread);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInSetLoginRet(byte[] recordJson);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInSetNoticeData(byte[] text);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInSetEncodeUrl(byte[] text);
    }
}
#endif
