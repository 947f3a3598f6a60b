// A stand-in for the parts of Unity's editor API that the Corvan Velo package uses, written from
// Unity's scripting reference with its namespaces and signatures. UnityApiStandIn.Editor plays
// the editor's part. Never shipped.
namespace UnityEditor
{
    public static class AssemblyReloadEvents
    {
        public delegate void AssemblyReloadCallback();

        public static event AssemblyReloadCallback beforeAssemblyReload;
        public static event AssemblyReloadCallback afterAssemblyReload;

        internal static void Reload()
        {
            beforeAssemblyReload?.Invoke();
            afterAssemblyReload?.Invoke();
        }
    }
}

namespace UnityApiStandIn
{
    /// <summary>What the editor does, on the tests' command.</summary>
    public static class Editor
    {
        /// <summary>Scripts changed: the editor reloads the assemblies.</summary>
        public static void ReloadScripts()
        {
            UnityEditor.AssemblyReloadEvents.Reload();
        }
    }
}
