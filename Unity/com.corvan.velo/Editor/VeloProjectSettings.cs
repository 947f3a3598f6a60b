using System;
using System.IO;
using UnityEditor;
using UnityEngine;

namespace Corvan.Velo.Unity.Editor
{
    /// <summary>The package's project settings, kept in ProjectSettings/CorvanVeloSettings.asset
    /// (shared with the team through version control): the scenario the stand-in core plays
    /// when the editor enters play mode, and whether play sessions are recorded.</summary>
    [FilePath("ProjectSettings/CorvanVeloSettings.asset", FilePathAttribute.Location.ProjectFolder)]
    internal sealed class VeloProjectSettings : ScriptableSingleton<VeloProjectSettings>
    {
        [SerializeField]
        private string scenario = "";

        [SerializeField]
        private bool recordSessions = true;

        /// <summary>The scenario file played on entering play mode, relative to the project
        /// folder when it is inside it; empty for none (answering mode).</summary>
        internal string Scenario => scenario;

        /// <summary>Whether <see cref="VeloScenario"/> records each play session, for the
        /// session window.</summary>
        internal bool RecordSessions
        {
            get => recordSessions;
            set {
                if (value != recordSessions)
                {
                    recordSessions = value;
                    Save(true);
                }
            }
        }

        /// <summary>The project's folder, which relative paths start from.</summary>
        internal static string ProjectFolder => Path.GetDirectoryName(Application.dataPath);

        /// <summary>The chosen scenario's full path; null for none.</summary>
        internal string ScenarioPath =>
            scenario.Length == 0 ? null : Path.GetFullPath(Path.Combine(ProjectFolder, scenario));

        /// <summary>Chooses the scenario played on entering play mode (null or empty: none),
        /// once the stand-in core has read it as one. False, keeping the choice, with why in
        /// <paramref name="error"/> ("file:line:column: what was expected") otherwise.</summary>
        internal bool TryChoose(string path, out string error)
        {
            error = null;
            var chosen = string.IsNullOrEmpty(path) ? "" : Relative(path);
            if (chosen.Length > 0 && VeloStandIn.IsAvailable &&
                !VeloStandIn.CheckScenarioFile(Path.Combine(ProjectFolder, chosen)))
            {
                error = VeloStandIn.LastError;
                return false;
            }
            scenario = chosen;
            Save(true);
            return true;
        }

        // Inside the project, the path from its folder with forward slashes; else the full path.
        private static string Relative(string path)
        {
            var full = Path.GetFullPath(Path.Combine(ProjectFolder, path));
            var folder =
                Path.GetFullPath(ProjectFolder).TrimEnd('/', '\\') + Path.DirectorySeparatorChar;
            return full.StartsWith(folder, StringComparison.Ordinal)
                       ? full.Substring(folder.Length).Replace('\\', '/')
                       : full;
        }
    }
}
