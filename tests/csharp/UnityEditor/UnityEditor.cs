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

    [System.AttributeUsage(System.AttributeTargets.Method, AllowMultiple = true)]
    public sealed class MenuItem : System.Attribute
    {
        public MenuItem(string itemName)
        {
            menuItem = itemName;
        }

        public string menuItem;
    }
}

namespace UnityEditor.PackageManager
{
    public sealed class PackageInfo
    {
        public string name { get; private set; }
        public string resolvedPath { get; private set; }

        // Outside Unity no assembly comes from a package.
        public static PackageInfo FindForAssembly(System.Reflection.Assembly assembly)
        {
            return null;
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
