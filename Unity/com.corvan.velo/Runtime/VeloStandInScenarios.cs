using System.IO;
using System.Runtime.InteropServices;

#if UNITY_EDITOR
namespace Corvan.Velo.Unity
{
    public static partial class VeloStandIn
    {
        /// <summary>Plays a scenario: what the stand-in answers to each request (results after
        /// delays, no answer, or a refusal), from its own thread, in place of the scenario
        /// playing, whose answers still to come are forgotten. The format is
        /// <c>Documentation~/scenario.schema.json</c>. Playing a scenario is answering mode,
        /// scripted; <see cref="Reset"/> and <see cref="StopScenario"/> end it. False, with the
        /// scenario that was playing still playing, for a text that is not a scenario:
        /// <see cref="LastError"/> then says "name:line:column: what was expected".</summary>
        /// <param name="text">The scenario, a JSON document.</param>
        /// <param name="name">Its name in messages.</param>
        public static bool PlayScenario(string text, string name = "scenario")
        {
            return veloStandInPlayScenario(Utf8.ToNative(text ?? "", nameof(text)),
                                           Utf8.ToNative(name, nameof(name)));
        }

        /// <summary>As <see cref="PlayScenario"/>, with the scenario file at
        /// <paramref name="path"/>, named by its full path in messages. A file of more than
        /// 32 MiB is refused before it is read.</summary>
        /// <param name="path">The scenario file.</param>
        public static bool PlayScenarioFile(string path)
        {
            return veloStandInPlayScenarioFile(Utf8.ToNative(Path.GetFullPath(path), nameof(path)));
        }

        /// <summary>Reads the scenario file at <paramref name="path"/> as
        /// <see cref="PlayScenarioFile"/> does, and plays nothing: false, with the reason in
        /// <see cref="LastError"/>, for a file that could not be played.</summary>
        /// <param name="path">The scenario file.</param>
        public static bool CheckScenarioFile(string path)
        {
            return veloStandInCheckScenarioFile(
                Utf8.ToNative(Path.GetFullPath(path), nameof(path)));
        }

        /// <summary>Stops playing the scenario; its answers still to come are forgotten.
        /// </summary>
        public static void StopScenario()
        {
            veloStandInStopScenario();
        }

        /// <summary>The core's clock, which times its answers: the real one by default and
        /// after <see cref="Reset"/>, or, for tests, a manual one that stands still until
        /// <see cref="AdvanceClock"/> moves it, so that no test waits for real time.</summary>
        /// <param name="on">Whether the clock is manual.</param>
        public static void SetManualClock(bool on)
        {
            veloStandInSetManualClock(on);
        }

        /// <summary>Moves the manual clock on, then waits until every answer that has become
        /// due has been delivered to the binding (dispatching them is the game's part). False
        /// with the real clock and on the core's own thread.</summary>
        /// <param name="milliseconds">How far to move it.</param>
        public static bool AdvanceClock(long milliseconds)
        {
            return veloStandInAdvanceClock(milliseconds);
        }

        /// <summary>The core's clock, in milliseconds from an arbitrary start.</summary>
        public static long ClockMilliseconds
        {
            get {
                return veloStandInClockMilliseconds();
            }
        }

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInPlayScenario(byte[] text, byte[] name);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInPlayScenarioFile(byte[] path);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInCheckScenarioFile(byte[] path);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInStopScenario();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern void veloStandInSetManualClock([MarshalAs(UnmanagedType.I1)] bool on);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        [return:MarshalAs(UnmanagedType.I1)]
        private static extern bool veloStandInAdvanceClock(long milliseconds);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        private static extern long veloStandInClockMilliseconds();
    }
}
#endif
