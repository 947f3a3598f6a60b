// What awaiting results costs, with 10,000 waits pending: beginning and ending a wait, and
// dispatching 1,000 results beside the same dispatch with no wait pending. Time is the median over
// interleaved repetitions (for the seconds given, at least 15), in µs per wait or per result.
using System;
using System.Collections.Generic;
using System.Diagnostics;
using System.Linq;
using System.Threading;
using Corvan.Velo.Unity;

internal static class Waits
{
    private const int Pending = 10000;
    private const int Results = 1000;

    // Each case and what its time is per.
    private static readonly string[][] Cases = {
        new[] { "begin a wait, up to 10,000 pending", "wait" },
        new[] { "dispatch, no wait pending", "result" },
        new[] { "dispatch, 10,000 waits for another kind pending", "result" },
        new[] { "dispatch, 10,000 waits for its kind pending, each result answering one",
                "result" },
        new[] { "end a wait by its token, 9,000 pending", "wait" },
        new[] { "one result answering 10,000 waits for any result", "wait" },
    };

    private const int LeastRepetitions = 15;

    // The figures of each case, named "Waits/<case>".
    internal static IEnumerable<Dictionary<string, object>> Run(double seconds)
    {
        var bases = Texts("base", Results);
        var logins = Texts("login", Results);
        Measure(bases, logins); // warms up
        var samples = new List<double[]>();
        var clock = Stopwatch.StartNew();
        while (clock.Elapsed.TotalSeconds < seconds || samples.Count < LeastRepetitions)
        {
            samples.Add(Measure(bases, logins));
        }
        return Cases.Select((c, i) => new Dictionary<string, object> {
            { "run_name", "Waits/" + c[0] },
            { "per", c[1] },
            { "repetitions", samples.Count },
            { "time_us", Program.Quantile(samples.Select(s => s[i]), 0.5) },
        });
    }

    // One repetition: µs per wait or per result, in the order of Cases.
    private static double[] Measure(IntPtr[] bases, IntPtr[] logins)
    {
        var none = Dispatched(bases);
        var cancel = new CancellationTokenSource();
        var begin = Time(Pending, () =>
                                  {
                                      for (var i = 0; i < Pending; ++i)
                                      {
                                          var id = i;
                                          ResultDispatcher.NextAsync<LoginResult>(
                                              r => r.MethodNameID == id, cancel.Token);
                                      }
                                  });
        var otherKind = Dispatched(bases);
        var ownKind = Dispatched(logins);
        var end = Time(Pending - Results, cancel.Cancel);
        for (var i = 0; i < Pending; ++i)
        {
            ResultDispatcher.NextAsync<BaseResult>(null);
        }
        var answerAll = Dispatched(new[] { bases[0] }) / Pending;
        return new[] { begin, none, otherKind, ownKind, end, answerAll };
    }

    // µs per result to dispatch these, queued beforehand.
    private static double Dispatched(IntPtr[] texts)
    {
        foreach (var text in texts)
        {
            ResultDispatcher.Receive(0, text);
        }
        return Time(texts.Length, () =>
                                  {
                                      if (ResultDispatcher.DispatchPending() != texts.Length)
                                      {
                                          throw new InvalidOperationException("results lost");
                                      }
                                  });
    }

    private static double Time(int count, Action run)
    {
        var clock = Stopwatch.StartNew();
        run();
        return clock.Elapsed.TotalSeconds * 1e6 / count;
    }

    // The adapter's texts of `count` results of `kind`, numbered from 0.
    private static IntPtr[] Texts(string kind, int count)
    {
        var texts = new List<string>();
        Action<int, string> keep = (id, json) => texts.Add(json);
        ResultDispatcher.ResultReceived += keep;
        for (var i = 0; i < count; ++i)
        {
            VeloStandIn.Fire(kind, "{\"methodNameID\":" + i + "}", false);
        }
        ResultDispatcher.DispatchPending();
        ResultDispatcher.ResultReceived -= keep;
        return texts.Select(Program.Native).ToArray();
    }
}
