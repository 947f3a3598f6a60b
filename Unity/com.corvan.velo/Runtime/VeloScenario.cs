using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.IO;
using System.Text;
using Newtonsoft.Json;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Records a session as the game lives it, in the editor or in a development player with
    /// the real core: every request the game makes through the binding (the core's operation
    /// and its arguments, and what it returned at once) and every result it receives (its
    /// method number and exact text), with their times; and writes it as a scenario that
    /// replays the session against the stand-in core (<c>VeloStandIn.PlayScenarioFile</c>).
    /// Each result answers the request before it: played back, it comes as long after that
    /// request as it did. Texts that are secrets (<see cref="Secrets"/>) are masked in what is
    /// written unless the caller asks otherwise.
    /// </summary>
    public static class VeloScenario
    {
        /// <summary>A request or a result, as recorded.</summary>
        public sealed class Entry
        {
            /// <summary>When, in milliseconds after recording began.</summary>
            public long Milliseconds { get; internal set; }

            /// <summary>The request's operation, named as the core's ("VeloLogin.Login"); null
            /// for a result.</summary>
            public string Operation { get; internal set; }

            /// <summary>The request's arguments in the core's positions: texts, integers and
            /// flags (a null text stays null).</summary>
            public IReadOnlyList<object> Arguments { get; internal set; }

            /// <summary>What the request returned at once (the login snapshot, notice data or
            /// an encoded URL); null for the others.</summary>
            public string Returned { get; internal set; }

            /// <summary>The result's method number.</summary>
            public int MethodNameID { get; internal set; }

            /// <summary>The result's text, exactly as the adapter wrote it.</summary>
            public string Text { get; internal set; }

            /// <summary>The result's kind as the stand-in names it ("login", "base", "qrcode",
            /// "account", "notice", "webview"); null for a text the binding could not read,
            /// which a scenario leaves out.</summary>
            public string Kind { get; internal set; }

            /// <summary>Whether this is a request (else a result).</summary>
            public bool IsRequest => Operation != null;
        }

        /// <summary>The text secrets are masked with.</summary>
        public const string Masked = "<masked>";

        private static readonly object Gate = new object();
        private static readonly List<Entry> entries = new List<Entry>();
        private static Func<long> clock;
        private static long start;
        private static volatile bool recording;

        [ThreadStatic]
        private static Entry lastRequest;

        /// <summary>What is masked: result members by their JSON key ("token"), and request
        /// arguments as "Operation#position" ("VeloLogin.LoginWithConfirmCode#1", positions
        /// from 1). By default the tokens, keys and codes the core's results carry (token,
        /// pfKey, confirm_code) and the confirmation code of LoginWithConfirmCode; add those of
        /// your game, the arguments that carry its passwords above all. A masked argument
        /// matches any value when played back.</summary>
        public static List<string> Secrets { get; } = new List<string> {
            "token", "pfKey", "confirm_code", "VeloLogin.LoginWithConfirmCode#1" };

        /// <summary>The most entries kept; what comes after is dropped and counted
        /// (<see cref="DroppedCount"/>), so that a session of any length is recorded in
        /// bounded memory.</summary>
        public static int MaxEntries { get; set; } = 100000;

        /// <summary>Whether requests and results are being recorded.</summary>
        public static bool IsRecording => recording;

        /// <summary>Entries dropped since recording began, beyond <see cref="MaxEntries"/>.
        /// </summary>
        public static long DroppedCount { get; private set; }

        /// <summary>Counts the recordings: <see cref="StartRecording"/> adds one as it forgets
        /// what was recorded.</summary>
        public static int Generation { get; private set; }

        /// <summary>Forgets what was recorded and records from now on. In the editor, times are
        /// the stand-in core's clock (the one that times its answers); elsewhere, a
        /// stopwatch's.</summary>
        public static void StartRecording()
        {
            lock (Gate)
            {
                entries.Clear();
                DroppedCount = 0;
                ++Generation;
                clock = Clock();
                start = clock();
                recording = true;
            }
        }

        /// <summary>Stops recording; what was recorded is kept.</summary>
        public static void StopRecording()
        {
            recording = false;
        }

        /// <summary>How many entries are recorded.</summary>
        public static int Count
        {
            get {
                lock (Gate)
                {
                    return entries.Count;
                }
            }
        }

        /// <summary>Adds the entries from <paramref name="from"/> on to
        /// <paramref name="into"/>, in order; returns how many.</summary>
        /// <param name="from">The first entry to copy.</param>
        /// <param name="into">The list they are added to.</param>
        public static int CopyEntries(int from, List<Entry> into)
        {
            lock (Gate)
            {
                var count = Math.Max(entries.Count - from, 0);
                into.AddRange(entries.GetRange(Math.Min(from, entries.Count), count));
                return count;
            }
        }

        /// <summary>The recording as a scenario: a rule for each request, in order, used once,
        /// that answers with the results that came after it (before the next request), each
        /// after its delay, or drops it when none came. Results before the first request answer
        /// none and are left out, as are texts the binding could not read.</summary>
        /// <param name="keepSecrets">Write <see cref="Secrets"/> as they were.</param>
        public static string ToScenario(bool keepSecrets = false)
        {
            List<Entry> session;
            lock (Gate)
            {
                session = new List<Entry>(entries);
            }
            var text = new StringWriter();
            using (var json = new JsonTextWriter(text) { Formatting = Formatting.Indented })
            {
                new Writer(json, keepSecrets ? new List<string>() : new List<string>(Secrets))
                    .Write(session);
            }
            return text.ToString();
        }

        /// <summary>Writes <see cref="ToScenario"/> to the file at <paramref name="path"/>, as
        /// UTF-8.</summary>
        /// <param name="path">The scenario file.</param>
        /// <param name="keepSecrets">Write <see cref="Secrets"/> as they were.</param>
        public static void Save(string path, bool keepSecrets = false)
        {
            File.WriteAllText(path, ToScenario(keepSecrets), new UTF8Encoding(false));
        }

        /// <summary>A request the game makes, before it reaches the core.</summary>
        internal static void Request(string operation, params object[] arguments)
        {
            if (recording)
            {
                Add(lastRequest = new Entry { Operation = operation, Arguments = arguments });
            }
        }

        /// <summary>The text the request this thread made last returned at once.</summary>
        internal static void Returned(IntPtr text)
        {
            var request = lastRequest;
            if (recording && request != null && text != IntPtr.Zero)
            {
                request.Returned = Utf8.FromNative(text);
            }
        }

        /// <summary>A result the binding received, on the core's thread.</summary>
        internal static void Received(int methodNameID, string text, BaseResult result)
        {
            if (recording && text != null)
            {
                Add(new Entry { MethodNameID = methodNameID, Text = text, Kind = KindOf(result) });
            }
        }

        private static void Add(Entry entry)
        {
            lock (Gate)
            {
                if (!recording)
                {
                    return;
                }
                if (entries.Count >= MaxEntries)
                {
                    ++DroppedCount;
                    return;
                }
                entry.Milliseconds = clock() - start;
                entries.Add(entry);
            }
        }

        private static Func<long> Clock()
        {
#if UNITY_EDITOR
            if (VeloStandIn.IsAvailable)
            {
                return () => VeloStandIn.ClockMilliseconds;
            }
#endif
            var stopwatch = Stopwatch.StartNew();
            return () => stopwatch.ElapsedMilliseconds;
        }

        private static string KindOf(BaseResult result)
        {
            switch (result)
            {
            case null:
                return null;
            case LoginResult _:
                return "login";
            case QrCodeResult _:
                return "qrcode";
            case AccountResult _:
                return "account";
            case NoticeResult _:
                return "notice";
            case WebViewResult _:
                return "webview";
            default:
                return "base";
            }
        }

        /// <summary>Writes a session as a scenario, masking the secrets it is given.</summary>
        private sealed class Writer
        {
            // The longest delay a scenario holds.
            private const long LongestDelay = 3600000;

            private readonly JsonWriter json;
            private readonly List<string> secrets;

            internal Writer(JsonWriter json, List<string> secrets)
            {
                this.json = json;
                this.secrets = secrets;
            }

            internal void Write(List<Entry> session)
            {
                var requests = session.FindAll(e => e.IsRequest).Count;
                var results = session.FindAll(e => !e.IsRequest && e.Kind != null).Count;
                json.WriteStartObject();
                json.WritePropertyName("scenario");
                json.WriteValue(1);
                json.WritePropertyName("description");
                json.WriteValue("A recorded session: " + requests + " requests, " + results +
                                " results.");
                json.WritePropertyName("rules");
                json.WriteStartArray();
                var first = session.FindIndex(e => e.IsRequest);
                for (var i = first; i >= 0 && i < session.Count;)
                {
                    var next = session.FindIndex(i + 1, e => e.IsRequest);
                    WriteRule(session, i, next < 0 ? session.Count : next);
                    i = next;
                }
                json.WriteEndArray();
                json.WriteEndObject();
            }

            // The request at `at` and the results after it, up to `end`.
            private void WriteRule(List<Entry> session, int at, int end)
            {
                var request = session[at];
                json.WriteStartObject();
                json.WritePropertyName("operation");
                json.WriteValue(request.Operation);
                json.WritePropertyName("args");
                json.WriteStartArray();
                for (var i = 0; i < request.Arguments.Count; ++i)
                {
                    var masked = secrets.Contains(request.Operation + "#" + (i + 1));
                    json.WriteValue(masked ? null : request.Arguments[i]);
                }
                json.WriteEndArray();
                json.WritePropertyName("times");
                json.WriteValue(1);
                json.WritePropertyName("answer");
                var previous = request.Milliseconds;
                var answered = false;
                for (var i = at + 1; i < end; ++i)
                {
                    var result = session[i];
                    if (result.Kind == null)
                    {
                        continue;
                    }
                    if (!answered)
                    {
                        json.WriteStartArray();
                        answered = true;
                    }
                    json.WriteStartObject();
                    json.WritePropertyName("delayMs");
                    json.WriteValue(
                        Math.Min(Math.Max(result.Milliseconds - previous, 0), LongestDelay));
                    json.WritePropertyName("kind");
                    json.WriteValue(result.Kind);
                    json.WritePropertyName("record");
                    WriteRecord(result.Text);
                    json.WriteEndObject();
                    previous = result.Milliseconds;
                }
                if (answered)
                {
                    json.WriteEndArray();
                }
                else
                {
                    json.WriteValue("drop");
                }
                if (request.Returned != null)
                {
                    json.WritePropertyName("returns");
                    if (request.Operation == "VeloLogin.GetLoginRet")
                    {
                        WriteRecord(request.Returned);
                    }
                    else
                    {
                        json.WriteValue(request.Returned);
                    }
                }
                json.WriteEndObject();
            }

            // A record as the adapter wrote it, on one line, its secret members masked.
            private void WriteRecord(string text)
            {
                if (!secrets.Exists(secret => text.Contains("\"" + secret + "\"")))
                {
                    json.WriteRawValue(text);
                    return;
                }
                var masked = new StringWriter();
                using (var reader = new JsonTextReader(new StringReader(text)) {
                    DateParseHandling = DateParseHandling.None
                }) using (var writer = new JsonTextWriter(masked))
                {
                    string member = null;
                    while (reader.Read())
                    {
                        if (reader.TokenType == JsonToken.String && member != null &&
                            secrets.Contains(member))
                        {
                            writer.WriteValue(Masked);
                        }
                        else
                        {
                            writer.WriteToken(reader, false);
                        }
                        member = reader.TokenType == JsonToken.PropertyName ? (string)reader.Value
                                                                            : null;
                    }
                }
                json.WriteRawValue(masked.ToString());
            }
        }
    }
}
