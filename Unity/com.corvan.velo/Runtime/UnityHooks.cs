using UnityEngine;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Ties the binding to Unity's lifetime: results dispatched every frame by one hidden pump
    /// kept across scenes, the callback unregistered before the application quits and before the
    /// editor reloads scripts (awaiting tasks ended), and static state reset, the callback
    /// unregistered, for projects that enter play mode without a domain reload.
    /// </summary>
    internal static class UnityHooks
    {
        private static bool hooked;
        private static GameObject pump;

        // Entering play mode without a domain reload keeps static state: start afresh, as a
        // reload would.
        [RuntimeInitializeOnLoadMethod(RuntimeInitializeLoadType.SubsystemRegistration)]
        private static void OnSubsystemRegistration()
        {
            Application.quitting -= OnQuitting;
#if UNITY_EDITOR
            UnityEditor.AssemblyReloadEvents.beforeAssemblyReload -= OnBeforeAssemblyReload;
#endif
            if (pump)
            {
                Object.DestroyImmediate(pump);
            }
            pump = null;
            hooked = false;
            VeloAdapter.ResetStatics();
        }

        private static void OnQuitting()
        {
            VeloAdapter.End("the application is quitting");
        }

#if UNITY_EDITOR
        private static void OnBeforeAssemblyReload()
        {
            VeloAdapter.End("the editor is reloading scripts");
        }
#endif

        /// <summary>After the callback is registered: the lifetime hooks once, and the pump
        /// whenever the game is playing and has none.</summary>
        internal static void Installed()
        {
            if (!hooked)
            {
                hooked = true;
                Application.quitting += OnQuitting;
#if UNITY_EDITOR
                UnityEditor.AssemblyReloadEvents.beforeAssemblyReload += OnBeforeAssemblyReload;
#endif
            }
            if (Application.isPlaying && !pump)
            {
                pump = new GameObject("Corvan Velo Dispatcher");
                pump.hideFlags = HideFlags.HideAndDontSave;
                Object.DontDestroyOnLoad(pump);
                pump.AddComponent<VeloDispatcherPump>();
            }
        }
    }
}
