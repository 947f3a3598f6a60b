// What the C# binding costs per result, split as the game pays it: on the core's thread (the
// native callback reads the text into its typed result and queues it) and on the main thread
// (DispatchPending raises the typed event). Beside it, measured in the same run on the same
// text, one JsonConvert.DeserializeObject<T> into a class of the same members: the reference.
// Texts are the adapter's own, made by the stand-in core. Time is the median over interleaved
// repetitions; bytes are what the thread allocated (GC.GetAllocatedBytesForCurrentThread).
// Then scripted answers against fired ones: a scenario's 10,000 answers to one request, or as
// many VeloStandIn.Fire calls, each from the core's thread through the adapter and the binding
// (read on the core's thread, dispatched on this one), per result. Then what awaiting results
// costs (Waits.cs).
//   VeloManagedBenchmarks [repetitions]
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
        public int Batch;
        public readonly List<double[]> Samples = new List<double[]>(); // per-result µs and bytes
    }

    private static readonly Func<long> AllocatedBytes = (Func<long>)Delegate.CreateDelegate(
        typeof(Func<long>), typeof(GC).GetMethod("GetAllocatedBytesForCurrentThread"));

    private static object sink;

    private static int Main(string[] args)
    {
        var repetitions = args.Length > 0 ? int.Parse(args[0]) : 15;
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

        foreach (var c in cases)
        {
            Calibrate(c);
        }
        for (var repetition = 0; repetition < repetitions; ++repetition)
        {
            foreach (var c in cases)
            {
                c.Samples.Add(Measure(c));
            }
        }
        Print(cases, repetitions);
        CompareScripted(cases.Where(c => c.Name == "Login" || c.Name == "Notice1").ToList(),
                        repetitions);
        Waits.Run(repetitions);
        return 0;
    }

    private const int ScriptedResults = 10000;

    private static void CompareScripted(List<Case> cases, int repetitions)
    {
        Console.WriteLine();
        Console.WriteLine("| scripted answers | time a result (µs) | VeloStandIn.Fire a result " +
                          "(µs) | ratio |");
        Console.WriteLine("|---|---:|---:|---:|");
        foreach (var c in cases)
        {
            var answer = "{\"kind\":\"" + c.Kind + "\",\"record\":" + c.Record + "}";
            var scenario = "{\"scenario\":1,\"rules\":[{\"operation\":\"VeloLogin.AutoLogin\"," +
                           "\"answer\":[" +
                           string.Join(",", Enumerable.Repeat(answer, ScriptedResults)) + "]}]}";
            if (!VeloStandIn.PlayScenario(scenario, "bench"))
            {
                throw new InvalidOperationException(VeloStandIn.LastError);
            }
            var samples = new List<double[]>();
            for (var repetition = 0; repetition <= repetitions; ++repetition)
            {
                var scripted = Answered(VeloLogin.AutoLogin);
                var fired = Answered(() =>
                                     {
                                         for (var i = 0; i < ScriptedResults; ++i)
                                         {
                                             VeloStandIn.Fire(c.Kind, c.Record, true);
                                         }
                                     });
                if (repetition > 0) // the first warms up
                {
                    samples.Add(new[] { scripted, fired, scripted / fired });
                }
            }
            VeloStandIn.StopScenario();
            Console.WriteLine(string.Format(System.Globalization.CultureInfo.InvariantCulture,
                                            "| Scripted/{0} | {1:0.00} | {2:0.00} | {3:0.00} |",
                                            c.Name, Median(samples.Select(s => s[0])),
                                            Median(samples.Select(s => s[1])),
                                            Median(samples.Select(s => s[2]))));
        }
    }

    // µs a result: `send` makes the core answer ScriptedResults times; they are awaited and
    // dispatched.
    private static double Answered(Action send)
    {
        var clock = Stopwatch.StartNew();
        send();
        VeloStandIn.WaitForAnswers();
        var dispatched = ResultDispatcher.DispatchPending();
        var micros = clock.Elapsed.TotalSeconds * 1e6 / ScriptedResults;
        if (dispatched != ScriptedResults)
        {
            throw new InvalidOperationException("dispatched " + dispatched);
        }
        return micros;
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

    // A batch of results that takes some 20 ms through the reference, after warming up.
    private static void Calibrate(Case c)
    {
        c.Batch = 100;
        Measure(c);
        var clock = Stopwatch.StartNew();
        var runs = 0;
        while (clock.ElapsedMilliseconds < 20)
        {
            sink = c.Reference(c.Text);
            ++runs;
        }
        c.Batch = Math.Max(runs, 10);
        Measure(c);
    }

    // One repetition: callback-thread µs and bytes, main-thread µs and bytes, reference µs and
    // bytes, each per result.
    private static double[] Measure(Case c)
    {
        var id = c.Kind.Length;
        var callback = Run(c.Batch, () => ResultDispatcher.Receive(id, c.Native));
        double dispatched = 0;
        var main = Run(1, () => dispatched = ResultDispatcher.DispatchPending());
        if ((int)dispatched != c.Batch)
        {
            throw new InvalidOperationException(c.Name + ": dispatched " + dispatched);
        }
        var reference = Run(c.Batch, () => sink = c.Reference(c.Text));
        return new[] { callback[0],       callback[1],  main[0] / c.Batch,
                       main[1] / c.Batch, reference[0], reference[1] };
    }

    private static double[] Run(int count, Action once)
    {
        var before = AllocatedBytes();
        var clock = Stopwatch.StartNew();
        for (var i = 0; i < count; ++i)
        {
            once();
        }
        var seconds = clock.Elapsed.TotalSeconds;
        return new[] { seconds * 1e6 / count, (double)(AllocatedBytes() - before) / count };
    }

    internal static double Median(IEnumerable<double> values)
    {
        var sorted = values.OrderBy(v => v).ToArray();
        return sorted.Length % 2 == 1
                   ? sorted[sorted.Length / 2]
                   : (sorted[sorted.Length / 2 - 1] + sorted[sorted.Length / 2]) / 2;
    }

    private static void Print(List<Case> cases, int repetitions)
    {
        Console.WriteLine("Runtime: " + RuntimeName() + "; " + repetitions +
                          " interleaved repetitions, medians; time in µs and allocation in KB " +
                          "per result; ratios against the reference, per repetition.");
        Console.WriteLine();
        Console.WriteLine("| result | bytes | callback thread | main thread | reference | " +
                          "time ratio | bytes ratio | main-thread time ratio |");
        Console.WriteLine("|---|---:|---:|---:|---:|---:|---:|---:|");
        foreach (var c in cases)
        {
            Func<int, double> at = i => Median(c.Samples.Select(s => s[i]));
            var time = Median(c.Samples.Select(s => (s[0] + s[2]) / s[4]));
            var bytes = Median(c.Samples.Select(s => (s[1] + s[3]) / s[5]));
            var mainTime = Median(c.Samples.Select(s => s[2] / s[4]));
            Console.WriteLine(string.Format(
                System.Globalization.CultureInfo.InvariantCulture,
                "| {0} | {1} | {2:0.00} µs, {3:0.00} KB | {4:0.00} µs, {5:0.00} KB | " +
                    "{6:0.00} µs, {7:0.00} KB | {8:0.00} | {9:0.00} | {10:0.00} |",
                c.Name, Encoding.UTF8.GetByteCount(c.Text), at(0), at(1) / 1024, at(2),
                at(3) / 1024, at(4), at(5) / 1024, time, bytes, mainTime));
        }
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
