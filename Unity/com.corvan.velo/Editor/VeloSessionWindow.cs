using UnityEditor;
using UnityEngine;

namespace Corvan.Velo.Unity.Editor
{
    /// <summary>The session window (Window, Corvan Velo, Session): the play session as it runs,
    /// each request with its arguments and each result with its method number and text, with a
    /// filter, copy, and "Save as scenario" to replay the session against the stand-in core.
    /// It draws a <see cref="SessionConsole"/>.</summary>
    internal sealed class VeloSessionWindow : EditorWindow
    {
        private readonly SessionConsole console = new SessionConsole();
        private Vector2 scroll;
        private bool keepSecrets;

        [MenuItem("Window/Corvan Velo/Session")]
        internal static void Open()
        {
            GetWindow<VeloSessionWindow>("Velo Session");
        }

        // Called by the editor several times a second.
        private void Update()
        {
            if (console.Refresh())
            {
                Repaint();
            }
        }

        private void OnGUI()
        {
            using (new EditorGUILayout.HorizontalScope(EditorStyles.toolbar))
            {
                GUILayout.Label(VeloScenario.IsRecording ? "Recording" : "Not recording",
                                GUILayout.Width(90));
                console.Filter =
                    EditorGUILayout.TextField(console.Filter, EditorStyles.toolbarSearchField);
                if (GUILayout.Button("Copy", GUILayout.Width(50)))
                {
                    EditorGUIUtility.systemCopyBuffer = console.Copy();
                }
                keepSecrets = GUILayout.Toggle(keepSecrets, "Keep secrets", GUILayout.Width(100));
                if (GUILayout.Button("Save as scenario...", GUILayout.Width(130)))
                {
                    var path = EditorUtility.SaveFilePanel("Save the session as a scenario",
                                                           Application.dataPath, "session", "json");
                    if (!string.IsNullOrEmpty(path))
                    {
                        console.SaveAsScenario(path, keepSecrets);
                    }
                }
            }
            scroll = EditorGUILayout.BeginScrollView(scroll);
            foreach (var row in console.Rows)
            {
                using (new EditorGUILayout.HorizontalScope())
                {
                    GUILayout.Label(row.Time, GUILayout.Width(60));
                    GUILayout.Label(row.What, EditorStyles.boldLabel, GUILayout.Width(320));
                    EditorGUILayout.SelectableLabel(row.Text, EditorStyles.wordWrappedLabel);
                }
            }
            EditorGUILayout.EndScrollView();
        }
    }
}
