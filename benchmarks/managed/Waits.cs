// What awaiting results costs, with 10,000 waits pending: beginning and ending a wait, and
// dispatching 1,000 results beside the same dispatch with no wait pending. Time is the median over
// interleaved repetitions, in µs per wait or per result.
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

    private static readonly string[] Cases = {
        "begin a wait, up to 10,000 pending | wait",
        "dispatch, no wait pending | result",
        "dispatch, 10,000 waits for another kind pending | result",
        "dispatch, 10,000 waits for its kind pending, each result answering one | result",
        "end a wait by its token, 9,000 pending | wait",
        "one result answering 10,000 waits for any result | wait",
    };

    internal static void Run(int repetitions)
    {
        var bases = Texts("base", Results);
        var logins = Texts("login", Results);
        Measure(bases, logins); // warms up
        var samples = Enumerable.Range(0, repetitions)
                          .Select(
                              _ => Measure(bases, logins))
                          .ToList();
        Console.WriteLine();
        Console.WriteLine("| waits | per | time (µs) |");
        Console.WriteLine("|---|---|---:|");
        for (var i = 0; i < Cases.Length; ++i)
        {
            Console.WriteLine(string.Format(System.Globalization.CultureInfo.InvariantCulture,
                                            "| {0} | {1:0.000} |", Cases[i],
                                            Program.Median(samples.Select(s => s[i]))));
        }
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
