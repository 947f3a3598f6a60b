using System;

namespace Corvan.Velo.Unity
{
    // The schedule points of the binding, defined in this build only: the tests' build of the
    // package's runtime. Unity compiles the package without this file, so there the calls to
    // SchedulePoint are dropped by the compiler and the shipped assembly has neither them nor
    // this hook (UnityCompileChecks/Player.csproj compiles it so, and NoSchedulePoints.cs there
    // fails that build if the hook were in the package).
    internal static partial class ResultWaits
    {
        /// <summary>Called with the point's name on the thread that reaches it.</summary>
        internal static Action<string> SchedulePointHook;

        static partial void SchedulePoint(string point)
        {
            SchedulePointHook?.Invoke(point);
        }
    }
}
