using System;
#if UNITY_5_3_OR_NEWER
using UnityEngine;
#endif

#if !UNITY_5_3_OR_NEWER
namespace AOT
{
    /// <summary>Outside Unity, a stand-in for the attribute that marks methods IL2CPP calls
    /// from native code.</summary>
    [AttributeUsage(AttributeTargets.Method)]
    internal sealed class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type type)
        {
        }
    }
}
#endif

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Ties the binding to Unity's lifetime: results dispatched every frame, the callback
    /// unregistered before the application quits and before the editor reloads scripts, static
    /// state reset for projects that enter play mode without a domain reload.
    /// </summary>
    internal static class UnityHooks
    {
#if UNITY_5_3_OR_NEWER
        private static bool hooked;

        [RuntimeInitializeOnLoadMethod(RuntimeInitializeLoadType.SubsystemRegistration)]
        private static void OnSubsystemRegistration()
        {
            VeloAdapter.ResetStatics();
            hooked = false;
        }

        internal static void Installed()
        {
            if (hooked)
            {
                return;
            }
            hooked = true;
            Application.quitting += VeloAdapter.Shutdown;
#if UNITY_EDITOR
            UnityEditor.AssemblyReloadEvents.beforeAssemblyReload += VeloAdapter.Shutdown;
#endif
            if (Application.isPlaying)
            {
                var pump = new GameObject("Corvan Velo Dispatcher");
                pump.hideFlags = HideFlags.HideAndDontSave;
                UnityEngine.Object.DontDestroyOnLoad(pump);
                pump.AddComponent<VeloDispatcherPump>();
            }
        }
#else
        internal static void Installed()
        {
        }
#endif
    }

}
