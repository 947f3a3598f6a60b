using UnityEditor;
using UnityEngine;

namespace Corvan.Velo.Unity.Editor
{
    /// <summary>The package's page of the Project Settings window, "Project/Corvan Velo": the
    /// scenario the stand-in core plays when the editor enters play mode, or none, and whether
    /// play sessions are recorded for the session window.</summary>
    internal sealed class VeloSettingsProvider : SettingsProvider
    {
        internal const string Page = "Project/Corvan Velo";

        private string error;

        private VeloSettingsProvider()
            : base(Page, SettingsScope.Project,
                   new[] { "Velo", "scenario", "stand-in", "record", "replay" })
        {
        }

        [SettingsProvider]
        private static SettingsProvider Create()
        {
            return new VeloSettingsProvider();
        }

        /// <summary>Chooses the scenario (null: none), or keeps the one chosen and shows why the
        /// file cannot be played.</summary>
        internal void Choose(string path)
        {
            error = VeloProjectSettings.instance.TryChoose(path, out var why) ? null : why;
        }

        /// <summary>Why the last file chosen was refused; null when it was not.</summary>
        internal string Error => error;

        public override void OnGUI(string searchContext)
        {
            var settings = VeloProjectSettings.instance;
            EditorGUILayout.LabelField("Scenario played when entering play mode",
                                       EditorStyles.boldLabel);
            EditorGUILayout.LabelField(settings.Scenario.Length > 0
                                           ? settings.Scenario
                                           : "None: the stand-in core answers every request");
            using (new EditorGUILayout.HorizontalScope())
            {
                if (GUILayout.Button("Choose..."))
                {
                    var path = EditorUtility.OpenFilePanel("Scenario played in play mode",
                                                           Application.dataPath, "json");
                    if (!string.IsNullOrEmpty(path))
                    {
                        Choose(path);
                    }
                }
                if (GUILayout.Button("None"))
                {
                    Choose(null);
                }
            }
            if (error != null)
            {
                EditorGUILayout.HelpBox(error, MessageType.Error);
            }
            settings.RecordSessions =
                EditorGUILayout.Toggle("Record play sessions", settings.RecordSessions);
            if (GUILayout.Button("Open the session window"))
            {
                VeloSessionWindow.Open();
            }
        }
    }
}
