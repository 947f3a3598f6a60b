// A player's runtime has no schedule points (csharp/Corvan.Velo.Unity/SchedulePoints.cs, the
// tests' build only): were their hook in the package, this second declaration would fail the
// build (CS0102).
namespace Corvan.Velo.Unity
{
    internal static partial class ResultWaits
    {
        internal static object SchedulePointHook;
    }
}
