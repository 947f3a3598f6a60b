// What the C# binding costs per result, split as the game pays it: on the core's thread (the
// native callback reads the text into its typed result and queues it) and on the main thread
// (DispatchPending raises the typed event). Beside it, one JsonConvert.DeserializeObject<T> of
// the same text into a class of the same members: the reference. Texts are the adapter's own,
// made by the stand-in core. Each result kind times the binding and the reference in alternating
// batches, one pair at a time, and reports the median of the per-pair ratios with its quartiles;
// bytes are what the thread allocated (GC.GetAllocatedBytesForCurrentThread). Prints one JSON
// object of the kinds' figures, for benchmarks/tabulate.py.
//   VeloManagedBenchmarks [seconds a result kind]
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
            var bytes = Encoding.UTF8.GetBytes(c.Text + "\0");
            c.Native = Marshal.AllocHGlobal(bytes.Length);
            Marshal.Copy(bytes, 0, c.Native, bytes.Length);
        }
        // Typed handlers only: with a ResultReceived handler the binding also keeps the raw text.
        VeloLogin.LoginResultReceived += r => sink = r;
        VeloLogin.EnvelopeResultReceived += r => sink = r;
        VeloLogin.QrCodeResultReceived += r => sink = r;
        VeloAccount.AccountResultReceived += r => sink = r;
        VeloNotice.NoticeResultReceived += r => sink = r;
        VeloWebView.WebViewResultReceived += r => sink = r;

        var figures = cases.Select(c => Paired(c, seconds)).ToList();
        Console.WriteLine(JsonConvert.SerializeObject(
            new Dictionary<string, object> {
                { "context", new Dictionary<string, string> { { "runtime", RuntimeName() } } },
                { "benchmarks", figures }
            },
            Formatting.Indented));
        return 0;
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

    // One side of a pair: the binding (callback thread, then the main thread's dispatch of the
    // batch) or the reference, each µs and bytes per result.
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

    // µs a warm result takes: batches of doubling size until one lasts 100 µs; the least of three
    // such estimates, which a collection or a preemption can only lengthen.
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

    // The binding and the reference in alternating batches of the same text for `seconds`, the
    // order within a pair alternating too. Both are warm (compiled, their pools filled) before
    // the batch is sized: about 200 µs of the slower side, short enough that a collection or a
    // change of the machine's load mostly falls within one pair, whose ratio the median leaves out.
    private static Dictionary<string, object> Paired(Case c, double seconds)
    {
        Func<int, Side> binding = n => Binding(c, n), reference = n => Reference(c, n);
        var warm = Stopwatch.StartNew();
        while (warm.ElapsedMilliseconds < 100)
        {
            binding(1);
            reference(1);
        }
        var slower = Math.Max(ResultTime(binding), ResultTime(reference));
        var batch = Math.Max(1, (int)(200 / slower));
        var pairs = new List<Side[]>();
        var clock = Stopwatch.StartNew();
        while (clock.Elapsed.TotalSeconds < seconds || pairs.Count < 10)
        {
            var bindingFirst = pairs.Count % 2 == 0;
            var first = bindingFirst ? binding(batch) : reference(batch);
            var second = bindingFirst ? reference(batch) : binding(batch);
            pairs.Add(bindingFirst ? new[] { first, second } : new[] { second, first });
        }
        Func<Func<Side[], double>, double> median = f => Quantile(pairs.Select(f), 0.5);
        Func<Side[], double> ratio = p => (p[0].Time + p[0].MainTime) / p[1].Time;
        return new Dictionary<string, object> {
            { "run_name", c.Name },
            { "bytes", Encoding.UTF8.GetByteCount(c.Text) },
            { "pairs", pairs.Count },
            { "batch", batch },
            { "callback_us", median(p => p[0].Time) },
            { "callback_kb", median(p => p[0].Bytes) / 1024 },
            { "main_us", median(p => p[0].MainTime) },
            { "main_kb", median(p => p[0].MainBytes) / 1024 },
            { "reference_us", median(p => p[1].Time) },
            { "reference_kb", median(p => p[1].Bytes) / 1024 },
            { "ratio", median(ratio) },
            { "ratio_q1", Quantile(pairs.Select(ratio), 0.25) },
            { "ratio_q3", Quantile(pairs.Select(ratio), 0.75) },
            { "bytes_ratio", median(p => (p[0].Bytes + p[0].MainBytes) / p[1].Bytes) },
            { "main_ratio", median(p => p[0].MainTime / p[1].Time) },
        };
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

    private static double Quantile(IEnumerable<double> values, double q)
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
