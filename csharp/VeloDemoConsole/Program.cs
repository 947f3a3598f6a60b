// Plays the package's demo sample outside Unity: the stand-in engine adds the sample's component
// and runs frames until its flow ends, printing what it logs.
using System;
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
            Engine.Frame();
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
