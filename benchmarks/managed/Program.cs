// What the C# binding costs per result, split as the game pays it: on the core's thread (the
// native callback reads the text into its typed result and queues it) and on the main thread
// (DispatchPending raises the typed event). Beside it, one JsonConvert.DeserializeObject<T> of
// the same text into a class of the same members: the reference. Texts are the adapter's own,
// made by the stand-in core. Each result kind times the binding and the reference in alternating
// batches, one pair at a time, and reports the median of the per-pair ratios with its quartiles;
// bytes are what the thread allocated (GC.GetAllocatedBytesForCurrentThread). Then scripted
// answers against fired ones, paired the same way: a scenario's 1,000 answers to one request,
// or as many VeloStandIn.Fire calls, each from the core's thread through the adapter and the
// binding (read on the core's thread, dispatched on this one). Then what awaiting results costs
// (Waits.cs). Prints one JSON object of all the figures, for benchmarks/tabulate.py.
//   VeloManagedBenchmarks [seconds a comparison]
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Runtime.InteropServices;
using System.Text;
using Corvan.Velo.Unity;
using Newtonsoft.Json;

internal static class Program
{
    private sealed class Case
    {
        public string Name;
        public string Kind;
        public string Record;
        public Func<string, object> Reference;
        public string Text;
        public IntPtr Native;
    }

    private static readonly Func<long> AllocatedBytes = (Func<long>)Delegate.CreateDelegate(
        typeof(Func<long>), typeof(GC).GetMethod("GetAllocatedBytesForCurrentThread"));

    private static object sink;

    private static int Main(string[] args)
    {
        var seconds = args.Length > 0
                          ? double.Parse(args[0], System.Globalization.CultureInfo.InvariantCulture)
                          : 1;
        var cases = new List<Case> {
            Of<Reference.Login>("Login", "login", Records.Login()),
            Of<Reference.Base>("Base", "base", Records.Base()),
            Of<Reference.QrCode>("QrCode", "qrcode", Records.QrCode()),
            Of<Reference.Account>("Account", "account", Records.Account()),
            Of<Reference.WebView>("WebView", "webview", Records.WebView()),
            Of<Reference.Notices>("Notice1", "notice", Records.Notices(1)),
            Of<Reference.Notices>("Notice20", "notice", Records.Notices(20)),
        };
        VeloAdapter.Initialize();
        foreach (var c in cases)
        {
            c.Text = AdaptersText(c);
            c.Native = Native(c.Text);
        }
        // Typed handlers only: with a ResultReceived handler the binding also keeps the raw text.
        VeloLogin.LoginResultReceived += r => sink = r;
        VeloLogin.EnvelopeResultReceived += r => sink = r;
        VeloLogin.QrCodeResultReceived += r => sink = r;
        VeloAccount.AccountResultReceived += r => sink = r;
        VeloNotice.NoticeResultReceived += r => sink = r;
        VeloWebView.WebViewResultReceived += r => sink = r;

        var figures = cases.Select(c => Paired(c, seconds)).ToList();
        figures.AddRange(cases.Where(c => c.Name == "Login" || c.Name == "Notice1")
                             .Select(c => Scripted(c, seconds)));
        figures.AddRange(Waits.Run(seconds));
        Console.WriteLine(JsonConvert.SerializeObject(
            new Dictionary<string, object> {
                { "context", new Dictionary<string, string> { { "runtime", RuntimeName() } } },
                { "benchmarks", figures }
            },
            Formatting.Indented));
        return 0;
    }

    // A call of some 10 to 40 ms, short enough for many pairs in a comparison's time.
    private const int ScriptedResults = 1000;

    // A scenario's ScriptedResults answers of the case's kind to one request, beside as many
    // VeloStandIn.Fire calls from the core's thread. A call of either side delivers
    // ScriptedResults results, awaited and dispatched.
    private static Dictionary<string, object> Scripted(Case c, double seconds)
    {
        var answer = "{\"kind\":\"" + c.Kind + "\",\"record\":" + c.Record + "}";
        var scenario = "{\"scenario\":1,\"rules\":[{\"operation\":\"VeloLogin.AutoLogin\"," +
                       "\"answer\":[" +
                       string.Join(",", Enumerable.Repeat(answer, ScriptedResults)) + "]}]}";
        if (!VeloStandIn.PlayScenario(scenario, "bench"))
        {
            throw new InvalidOperationException(VeloStandIn.LastError);
        }
        int batch;
        var pairs = Alternate(n => Answered(n, VeloLogin.AutoLogin),
                              n => Answered(n,
                                            () =>
                                            {
                                                for (var i = 0; i < ScriptedResults; ++i)
                                                {
                                                    VeloStandIn.Fire(c.Kind, c.Record, true);
                                                }
                                            }),
                              seconds, out batch);
        VeloStandIn.StopScenario();
        var figures = Figures("Scripted/" + c.Name, pairs, batch, p => p[0].Time / p[1].Time);
        figures["results"] = ScriptedResults;
        figures["time_us"] = Quantile(pairs.Select(p => p[0].Time), 0.5);
        figures["baseline_us"] = Quantile(pairs.Select(p => p[1].Time), 0.5);
        return figures;
    }

    // µs and bytes a call: `send` makes the core answer ScriptedResults times; they are awaited
    // and dispatched.
    private static Side Answered(int calls, Action send)
    {
        var dispatched = 0;
        var call = Run(calls, () =>
                              {
                                  send();
                                  VeloStandIn.WaitForAnswers();
                                  dispatched += ResultDispatcher.DispatchPending();
                              });
        if (dispatched != calls * ScriptedResults)
        {
            throw new InvalidOperationException("dispatched " + dispatched);
        }
        return new Side { Time = call[0], Bytes = call[1] };
    }

    /// <summary>The text as the adapter hands it over: zero-terminated UTF-8, never freed.
    /// </summary>
    internal static IntPtr Native(string text)
    {
        var bytes = Encoding.UTF8.GetBytes(text + "\0");
        var native = Marshal.AllocHGlobal(bytes.Length);
        Marshal.Copy(bytes, 0, native, bytes.Length);
        return native;
    }

    private static Case Of<T>(string name, string kind, string record)
    {
        return new Case { Name = name, Kind = kind, Record = record,
                          Reference = text => JsonConvert.DeserializeObject<T>(text) };
    }

    private static string AdaptersText(Case c)
    {
        string text = null;
        Action<int, string> keep = (id, json) => text = json;
        ResultDispatcher.ResultReceived += keep;
        if (!VeloStandIn.Fire(c.Kind, c.Record, false) || ResultDispatcher.DispatchPending() != 1)
        {
            throw new InvalidOperationException(c.Name + ": " + VeloStandIn.LastError);
        }
        ResultDispatcher.ResultReceived -= keep;
        return text;
    }

    // One side of a pair, µs and bytes per result: the binding (callback thread, then the main
    // thread's dispatch of the batch) or the reference; or per call of a scripted comparison.
    private sealed class Side
    {
        public double Time, Bytes, MainTime, MainBytes;
    }

    private static Side Binding(Case c, int batch)
    {
        var id = c.Kind.Length;
        var callback = Run(batch, () => ResultDispatcher.Receive(id, c.Native));
        var dispatched = 0;
        var main = Run(1, () => dispatched = ResultDispatcher.DispatchPending());
        if (dispatched != batch)
        {
            throw new InvalidOperationException(c.Name + ": dispatched " + dispatched);
        }
        return new Side { Time = callback[0], Bytes = callback[1], MainTime = main[0] / batch,
                          MainBytes = main[1] / batch };
    }

    private static Side Reference(Case c, int batch)
    {
        var reference = Run(batch, () => sink = c.Reference(c.Text));
        return new Side { Time = reference[0], Bytes = reference[1] };
    }

    // µs a warm result (or call) takes: batches of doubling size until one lasts 100 µs; the least
    // of three such estimates, which a collection or a preemption can only lengthen.
    private static double ResultTime(Func<int, Side> side)
    {
        var least = double.MaxValue;
        for (var estimate = 0; estimate < 3; ++estimate)
        {
            for (var batch = 1;; batch *= 2)
            {
                var clock = Stopwatch.StartNew();
                side(batch);
                if (clock.Elapsed.TotalMilliseconds >= 0.1 || batch >= 1024)
                {
                    least = Math.Min(least, clock.Elapsed.TotalMilliseconds * 1e3 / batch);
                    break;
                }
            }
        }
        return least;
    }

    // A path and its baseline in alternating batches for `seconds`, the order within a pair
    // alternating too; each pair is the path's side, then the baseline's. Both are warm
    // (compiled, their pools filled) before the batch is sized: about 200 µs of the slower side
    // (a single call where one takes longer), short enough that a collection or a change of the
    // machine's load mostly falls within one pair, whose ratio the median leaves out.
    private static List<Side[]> Alternate(Func<int, Side> path, Func<int, Side> baseline,
                                          double seconds, out int batch)
    {
        var warm = Stopwatch.StartNew();
        while (warm.ElapsedMilliseconds < 100)
        {
            path(1);
            baseline(1);
        }
        var slower = Math.Max(ResultTime(path), ResultTime(baseline));
        batch = Math.Max(1, (int)(200 / slower));
        var pairs = new List<Side[]>();
        var clock = Stopwatch.StartNew();
        while (clock.Elapsed.TotalSeconds < seconds || pairs.Count < 10)
        {
            var pathFirst = pairs.Count % 2 == 0;
            var first = pathFirst ? path(batch) : baseline(batch);
            var second = pathFirst ? baseline(batch) : path(batch);
            pairs.Add(pathFirst ? new[] { first, second } : new[] { second, first });
        }
        return pairs;
    }

    // The figures every comparison has: its pairs, its batch, and the median of the per-pair
    // ratios with its quartiles.
    private static Dictionary<string, object> Figures(string name, List<Side[]> pairs, int batch,
                                                      Func<Side[], double> ratio)
    {
        return new Dictionary<string, object> {
            { "run_name", name },
            { "pairs", pairs.Count },
            { "batch", batch },
            { "ratio", Quantile(pairs.Select(ratio), 0.5) },
            { "ratio_q1", Quantile(pairs.Select(ratio), 0.25) },
            { "ratio_q3", Quantile(pairs.Select(ratio), 0.75) },
        };
    }

    // The binding beside the reference.
    private static Dictionary<string, object> Paired(Case c, double seconds)
    {
        int batch;
        var pairs = Alternate(n => Binding(c, n), n => Reference(c, n), seconds, out batch);
        Func<Func<Side[], double>, double> median = f => Quantile(pairs.Select(f), 0.5);
        var figures = Figures(c.Name, pairs, batch, p => (p[0].Time + p[0].MainTime) / p[1].Time);
        figures["bytes"] = Encoding.UTF8.GetByteCount(c.Text);
        figures["callback_us"] = median(p => p[0].Time);
        figures["callback_kb"] = median(p => p[0].Bytes) / 1024;
        figures["main_us"] = median(p => p[0].MainTime);
        figures["main_kb"] = median(p => p[0].MainBytes) / 1024;
        figures["reference_us"] = median(p => p[1].Time);
        figures["reference_kb"] = median(p => p[1].Bytes) / 1024;
        figures["bytes_ratio"] = median(p => (p[0].Bytes + p[0].MainBytes) / p[1].Bytes);
        figures["main_ratio"] = median(p => p[0].MainTime / p[1].Time);
        return figures;
    }

    // µs and bytes a run of `once`, over `count` runs. The clock is read without allocating.
    private static double[] Run(int count, Action once)
    {
        var before = AllocatedBytes();
        var start = Stopwatch.GetTimestamp();
        for (var i = 0; i < count; ++i)
        {
            once();
        }
        var seconds = (double)(Stopwatch.GetTimestamp() - start) / Stopwatch.Frequency;
        var bytes = AllocatedBytes() - before;
        return new[] { seconds * 1e6 / count, (double)bytes / count };
    }

    internal static double Quantile(IEnumerable<double> values, double q)
    {
        var sorted = values.OrderBy(v => v).ToArray();
        return sorted[(int)(q * (sorted.Length - 1) + 0.5)];
    }

    private static string RuntimeName()
    {
        var mono = Type.GetType("Mono.Runtime");
        if (mono != null)
        {
            var version =
                mono.GetMethod("GetDisplayName", System.Reflection.BindingFlags.NonPublic |
                                                     System.Reflection.BindingFlags.Static);
            return "mono " + (version != null ? version.Invoke(null, null) : "");
        }
        return System.Runtime.InteropServices.RuntimeInformation.FrameworkDescription;
    }
}
