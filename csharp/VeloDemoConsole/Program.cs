// Plays the package's demo sample outside Unity: the stand-in engine adds the sample's component
// and runs frames until its flow ends, printing what it logs.
using System;
using System.Diagnostics;
using System.Threading;
using Corvan.Velo.Unity;
using Corvan.Velo.Unity.Samples;
using UnityApiStandIn;
using UnityEngine;

internal static class Program
{
    private static int Main()
    {
        Engine.SetPlaying(true);
        var session = new GameObject("Velo demo").AddComponent<VeloDemoSession>();
        var printed = 0;
        var clock = Stopwatch.StartNew();
        var last = 0.0;
        for (;;)
        {
            for (; printed < Engine.Log.Count; ++printed)
            {
                Console.WriteLine(Engine.Log[printed]);
            }
            if (session.Flow == null || session.Flow.IsCompleted)
            {
                break; // done, or OnEnable threw (logged)
            }
            // Frames as long as they take: the sample's timeouts are in real time, as in a game.
            var now = clock.Elapsed.TotalSeconds;
            Engine.Frame((float)(now - last));
            last = now;
            Thread.Sleep(1);
        }
        session.enabled = false;
        VeloAdapter.Shutdown();
        if (VeloStandIn.IsAvailable)
        {
            VeloStandIn.SetAnswering(false);
            VeloStandIn.WaitForAnswers();
        }
        return session.Flow != null && session.Flow.Result ? 0 : 1;
    }
}
