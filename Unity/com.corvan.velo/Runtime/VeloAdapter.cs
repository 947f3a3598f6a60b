using System;
using AOT;
using UnityEngine.Scripting;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The binding's life: call <see cref="Initialize"/> once before anything else. The requests
    /// are on the facades of the core's services (<see cref="VeloLogin"/>,
    /// <see cref="VeloAccount"/>, <see cref="VeloNotice"/>, <see cref="VeloWebView"/>,
    /// <see cref="VeloTools"/>); they return at once and their results arrive through
    /// <see cref="ResultDispatcher"/>, on the thread that dispatches them (in Unity, the main
    /// thread, every frame).
    /// </summary>
    public static class VeloAdapter
    {
        // Kept for the life of the process: native code holds this delegate's pointer.
        private static readonly NativeMethods.UnityCallback Callback = OnNativeResult;
        // Read by NextAsync on any thread, under the lock that ending the waits takes.
        private static volatile bool initialized;

        /// <summary>The version of this package (its package.json), which its native libraries
        /// also carry.</summary>
        public static string Version => PackageVersion;

        internal const string PackageVersion = "2.1.0";

        /// <summary>Whether <see cref="Initialize"/> has registered the result callback (and
        /// nothing has unregistered it since).</summary>
        public static bool IsInitialized => initialized;

        /// <summary>Loads the native adapter, checks that it and its core can be used and
        /// registers the result callback. Does nothing when already initialised.</summary>
        /// <exception cref="VeloAdapterException">The libraries cannot be used; the reason and
        /// the message, with the loader's own words, say why and what to do:
        /// <see cref="VeloErrorReason.LibraryMissing"/> (the adapter),
        /// <see cref="VeloErrorReason.CoreMissing"/>,
        /// <see cref="VeloErrorReason.DependencyMissing"/> (another library the adapter or the
        /// core needs, such as the Visual C++ runtime),
        /// <see cref="VeloErrorReason.CoreIncompatible"/> (the core lacks functions the adapter
        /// imports), <see cref="VeloErrorReason.LibraryVersionMismatch"/> (an adapter of another
        /// version still loaded: restart the editor) or
        /// <see cref="VeloErrorReason.LibraryOutdated"/>; or the package has no native library for
        /// the platform (<see cref="VeloErrorReason.PlatformUnsupported"/>), which the message
        /// names. <see cref="Diagnose"/> tells more.
        /// </exception>
        public static void Initialize()
        {
            if (initialized)
            {
                return;
            }
            NativeLibraryCheck.Check();
            NativeMethods.setUnityCallback(Callback);
            initialized = true;
            UnityHooks.Installed();
        }

        /// <summary>Examines the native libraries, without throwing: for each one where it was
        /// looked for, whether it was found and loaded, its version and what it lacks; whether
        /// <see cref="Initialize"/> succeeds with them, and if not why and what to do. For a
        /// game's support screen or a log (its <see cref="NativeLibraryReport.ToString"/> is the
        /// whole report); the editor's menu "Corvan Velo/Check native libraries" logs it.
        /// </summary>
        public static NativeLibraryReport Diagnose()
        {
            return NativeLibraryDiagnosis.Run();
        }

        /// <summary>Unregisters the callback and ends every task awaiting a result. When this
        /// returns no result is being delivered any more, and none will be; results already
        /// queued stay queued.</summary>
        public static void Shutdown()
        {
            End("VeloAdapter.Shutdown was called");
        }

        /// <summary>Unregisters the callback, if registered, and ends the awaiting tasks with
        /// <paramref name="reason"/>.</summary>
        internal static void End(string reason)
        {
            Unregister();
            ResultDispatcher.EndWaits(reason);
        }

        /// <summary>Back to the state of a fresh process (Unity calls it when entering play
        /// mode without a domain reload): the callback unregistered, nothing queued, no handler,
        /// the awaiting tasks ended last, so that a retry they start (initialising, subscribing
        /// and awaiting again) is kept.</summary>
        internal static void ResetStatics()
        {
            Unregister();
            ResultDispatcher.Reset("play mode was entered again");
        }

        private static void Unregister()
        {
            if (initialized)
            {
                NativeMethods.setUnityCallback(null);
                initialized = false;
            }
        }

        // Called by native code only, through the delegate in Callback.
        [MonoPInvokeCallback(typeof(NativeMethods.UnityCallback))]
        [Preserve]
        private static void OnNativeResult(int methodNameID, IntPtr json)
        {
            ResultDispatcher.Receive(methodNameID, json);
        }

        internal static void RequireInitialized()
        {
            if (!initialized)
            {
                throw new InvalidOperationException(
                    "VeloAdapter.Initialize must be called first (and not undone by Shutdown, " +
                    "quitting or a script reload).");
            }
        }

        /// <summary>The text argument <paramref name="parameter"/> for native code:
        /// zero-terminated UTF-8, null stays null.</summary>
        /// <exception cref="ArgumentException">The text holds a zero character, where native
        /// code would cut it.</exception>
        internal static byte[] T(string text, string parameter)
        {
            return Utf8.ToNative(text, parameter);
        }

        /// <summary>Reads a text the adapter returned, then releases it with the adapter's
        /// heap.</summary>
        internal static T TakeText<T>(IntPtr text, Func<IntPtr, T> read)
        {
            try
            {
                VeloScenario.Returned(text);
                return read(text);
            }
            finally
            {
                NativeMethods.releaseTextAdapter(text);
            }
        }

        internal static string TakeText(IntPtr text)
        {
            return TakeText(text, Utf8.FromNative);
        }
    }
}
