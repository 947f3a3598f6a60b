using System;
using static Corvan.Velo.Unity.VeloAdapter;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The core's notice service (<c>VeloNotice</c>): its request, with the parameters in the
    /// core's positions, and the event of the results its observer reports. The request needs
    /// <see cref="VeloAdapter.Initialize"/> first (else it throws an
    /// <see cref="InvalidOperationException"/>) and sends a null text as an empty one; the
    /// notices arrive later, on the dispatching thread.
    /// </summary>
    public static class VeloNotice
    {
        /// <summary>The notices the core loaded.</summary>
        public static event Action<NoticeResult> NoticeResultReceived
        {
            add => ResultDispatcher.Notice.Add(value);
            remove => ResultDispatcher.Notice.Remove(value);
        }

        /// <summary><c>VeloNotice::LoadNoticeData(s1, s2, i3, s4, s5)</c>: two texts, an integer,
        /// two texts. The core also answers at once, with a text. Answered by
        /// <see cref="NoticeResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="i3">Integer, position 3.</param>
        /// <param name="s4">Text, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <returns>The core's immediate answer, as its text (null when the adapter ran out of
        /// memory).</returns>
        public static string LoadNoticeData(string s1, string s2, int i3, string s4, string s5)
        {
            RequireInitialized();
            VeloScenario.Request("VeloNotice.LoadNoticeData", s1, s2, i3, s4, s5);
            return TakeText(NativeMethods.loadNoticeDataAdapter(
                T(s1, nameof(s1)), T(s2, nameof(s2)), i3, T(s4, nameof(s4)), T(s5, nameof(s5))));
        }
    }
}
