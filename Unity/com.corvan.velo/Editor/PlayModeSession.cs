using UnityEditor;
using UnityEngine;

namespace Corvan.Velo.Unity.Editor
{
    /// <summary>Each play session in the editor: on leaving edit mode the stand-in core plays
    /// the scenario chosen in the project settings (none: its own answers), and the session is
    /// recorded from the start, domain reload or not; on returning to edit mode the scenario
    /// stops and the recording is kept for the session window.</summary>
    [InitializeOnLoad]
    internal static class PlayModeSession
    {
        static PlayModeSession()
        {
            EditorApplication.playModeStateChanged -= OnPlayModeStateChanged;
            EditorApplication.playModeStateChanged += OnPlayModeStateChanged;
            // The domain reloaded on the way into play mode: what was recorded before is gone.
            if (EditorApplication.isPlayingOrWillChangePlaymode)
            {
                Record();
            }
        }

        private static void OnPlayModeStateChanged(PlayModeStateChange change)
        {
            if (change == PlayModeStateChange.ExitingEditMode)
            {
                PlayChosenScenario();
                Record();
            }
            else if (change == PlayModeStateChange.EnteredEditMode)
            {
                VeloScenario.StopRecording();
                if (VeloStandIn.IsAvailable)
                {
                    VeloStandIn.StopScenario();
                }
            }
        }

        // Before the first scene loads: the core keeps playing it across the domain reload.
        private static void PlayChosenScenario()
        {
            var path = VeloProjectSettings.instance.ScenarioPath;
            if (!VeloStandIn.IsAvailable)
            {
                return;
            }
            if (path == null)
            {
                VeloStandIn.StopScenario();
            }
            else if (!VeloStandIn.PlayScenarioFile(path))
            {
                Debug.LogError("Corvan Velo: the scenario chosen in Project Settings was not " +
                               "played: " + VeloStandIn.LastError);
            }
        }

        private static void Record()
        {
            if (VeloProjectSettings.instance.RecordSessions)
            {
                VeloScenario.StartRecording();
            }
        }
    }
}
