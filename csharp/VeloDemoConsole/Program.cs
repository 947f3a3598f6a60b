using System;
using Corvan.Velo.Unity.Samples;

internal static class Program
{
    private static int Main()
    {
        var ok = VeloDemoSession.Run(Console.WriteLine);
        Console.WriteLine(ok ? "Session complete." : "Session failed.");
        return ok ? 0 : 1;
    }
}
