using UnityEditor;
using UnityEngine;

namespace Corvan.Velo.Unity.Editor
{
    /// <summary>The editor's menu "Corvan Velo ▸ Check native libraries": logs
    /// <see cref="VeloAdapter.Diagnose"/>'s report, as an error when the binding cannot use the
    /// libraries.</summary>
    internal static class NativeLibraryMenu
    {
        internal const string Item = "Corvan Velo/Check native libraries";

        [MenuItem(Item)]
        internal static void Check()
        {
            var report = VeloAdapter.Diagnose();
            if (report.IsUsable)
            {
                Debug.Log(report);
            }
            else
            {
                Debug.LogError(report);
            }
        }
    }
}
