using System;
using System.Collections.Generic;
using System.Globalization;
using System.Linq;
using Newtonsoft.Json;

namespace Corvan.Velo.Unity.Editor
{
    /// <summary>What the session window shows, apart from drawing it: the session
    /// <see cref="VeloScenario"/> records, as rows (time, the request with its arguments or the
    /// result's method number, and the text), those the filter lets through, and what is
    /// copied and saved.</summary>
    internal sealed class SessionConsole
    {
        /// <summary>One request or result.</summary>
        internal sealed class Row
        {
            internal Row(VeloScenario.Entry entry)
            {
                Entry = entry;
                Time =
                    (entry.Milliseconds / 1000.0).ToString("0.000", CultureInfo.InvariantCulture);
                What = entry.IsRequest ? Call(entry)
                                       : entry.MethodNameID.ToString(CultureInfo.InvariantCulture);
                Text = entry.IsRequest ? entry.Returned ?? "" : entry.Text;
                Line = Time + "\t" + What + "\t" + Text;
            }

            internal VeloScenario.Entry Entry { get; }

            /// <summary>Seconds after recording began, to the millisecond.</summary>
            internal string Time { get; }

            /// <summary>The request, "VeloLogin.Login(\"Guest\", 7, true)", or the result's
            /// method number.</summary>
            internal string What { get; }

            /// <summary>The result's text, or what the request returned at once.</summary>
            internal string Text { get; }

            /// <summary>The row as one line of text, its columns separated by tabs.</summary>
            internal string Line { get; }

            private static string Call(VeloScenario.Entry entry)
            {
                return entry.Operation + "(" +
                       string.Join(", ", entry.Arguments.Select(a => JsonConvert.ToString(a))) +
                       ")";
            }
        }

        private readonly List<Row> all = new List<Row>();
        private readonly List<Row> shown = new List<Row>();
        private readonly List<VeloScenario.Entry> read = new List<VeloScenario.Entry>();
        private int generation = -1;
        private string filter = "";

        /// <summary>The rows the filter lets through, in order.</summary>
        internal IReadOnlyList<Row> Rows => shown;

        /// <summary>Rows hold this text, whatever its case, in any column; empty: every row.
        /// </summary>
        internal string Filter
        {
            get => filter;
            set {
                filter = value ?? "";
                shown.Clear();
                shown.AddRange(all.Where(Shows));
            }
        }

        /// <summary>Takes in what was recorded since the last call (all of it again when a new
        /// recording began); true when the rows changed.</summary>
        internal bool Refresh()
        {
            var changed = false;
            if (generation != VeloScenario.Generation)
            {
                generation = VeloScenario.Generation;
                changed = all.Count > 0;
                all.Clear();
                shown.Clear();
            }
            read.Clear();
            VeloScenario.CopyEntries(all.Count, read);
            foreach (var entry in read)
            {
                var row = new Row(entry);
                all.Add(row);
                if (Shows(row))
                {
                    shown.Add(row);
                }
            }
            return changed || read.Count > 0;
        }

        /// <summary>The rows shown, one line each, as the clipboard gets them.</summary>
        internal string Copy()
        {
            return string.Join("\n", shown.Select(r => r.Line));
        }

        /// <summary>Saves the whole session (not only the rows shown: a scenario needs every
        /// request) as a scenario file, secrets masked unless kept.</summary>
        internal void SaveAsScenario(string path, bool keepSecrets)
        {
            VeloScenario.Save(path, keepSecrets);
        }

        private bool Shows(Row row)
        {
            return filter.Length == 0 ||
                   row.Line.IndexOf(filter, StringComparison.OrdinalIgnoreCase) >= 0;
        }
    }
}
