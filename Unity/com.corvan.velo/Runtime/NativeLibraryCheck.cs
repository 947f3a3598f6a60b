using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using UnityEngine;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Finds out, before any request is made, whether the native adapter is there and exports
    /// every function the binding declares, so that a missing or outdated library is reported
    /// once, by name, instead of failing at some later call.
    /// </summary>
    internal static class NativeLibraryCheck
    {
        /// <summary>Loads the library and checks that it exports every declared function.
        /// </summary>
        /// <exception cref="VeloAdapterException">What is missing, with its reason.</exception>
        internal static void Check()
        {
            var platform = Application.platform;
            var architecture = RuntimeInformation.ProcessArchitecture;
            if (!HasNativeLibrary(platform, architecture))
            {
                throw new VeloAdapterException(
                    VeloErrorReason.PlatformUnsupported,
                    "The Corvan Velo package has no native library for " + platform + " (" +
                        architecture + "): it has them for Windows and Linux on x86-64, in " +
                        "editors, players and servers. Here Initialize fails and every request " +
                        "throws as before Initialize: leave the package's calls out of builds " +
                        "for this platform.");
            }
            try
            {
                // Null is a no-op: this only loads the library.
                NativeMethods.releaseTextAdapter(IntPtr.Zero);
            }
            catch (DllNotFoundException e)
            {
                throw LoadFailure(e, CoreIsLoadable());
            }
            catch (EntryPointNotFoundException e)
            {
                throw LoadFailure(e, true);
            }
            var missing = MissingEntryPoints();
            if (missing.Count > 0)
            {
                throw Outdated(string.Join(", ", missing.ToArray()), null);
            }
        }

        /// <summary>Whether Plugins/x86_64 holds an adapter for the platform: the editors,
        /// players and servers of Windows and Linux, on x86-64.</summary>
        internal static bool HasNativeLibrary(RuntimePlatform platform, Architecture architecture)
        {
            switch (platform)
            {
            case RuntimePlatform.WindowsEditor:
            case RuntimePlatform.WindowsPlayer:
            case RuntimePlatform.WindowsServer:
            case RuntimePlatform.LinuxEditor:
            case RuntimePlatform.LinuxPlayer:
            case RuntimePlatform.LinuxServer:
                return architecture == Architecture.X64;
            default:
                return false;
            }
        }

        /// <summary>The error for a library that could not be used: it or the core it needs
        /// missing, or too old to have even releaseTextAdapter.</summary>
        internal static VeloAdapterException LoadFailure(Exception e, bool coreLoadable)
        {
            if (e is EntryPointNotFoundException)
            {
                return Outdated("releaseTextAdapter", e);
            }
            return coreLoadable
                       ? new VeloAdapterException(VeloErrorReason.LibraryMissing, AdapterMissing, e)
                       : new VeloAdapterException(VeloErrorReason.CoreMissing, CoreMissing, e);
        }

        private static VeloAdapterException Outdated(string missing, Exception e)
        {
            return new VeloAdapterException(VeloErrorReason.LibraryOutdated,
                                            "The native library '" + NativeMethods.Library +
                                                "' lacks the function(s) " + missing +
                                                ": it is older than this package.",
                                            e);
        }

        /// <summary>The names of the declared functions the loaded library lacks (none when the
        /// platform cannot be asked: calls will report themselves).</summary>
        internal static List<string> MissingEntryPoints()
        {
            var missing = new List<string>();
            var module = LoadedModule();
            if (module == IntPtr.Zero)
            {
                return missing;
            }
            foreach (var name in EntryPoints)
            {
                if (FindSymbol(module, name) == IntPtr.Zero)
                {
                    missing.Add(name);
                }
            }
            return missing;
        }

        internal const string AdapterMissing =
            "The native library '" + NativeMethods.Library + "' could not be loaded. It belongs " +
            "in Plugins/x86_64 of the Corvan Velo package: VeloUnityAdapter.dll on Windows, " +
            "libVeloUnityAdapter.so on Linux, each beside the core library it loads.";

        internal const string CoreMissing =
            "The native library '" + NativeMethods.Library + "' could not be loaded: the core " +
            "library it needs, VeloCore, is missing. The VeloCore in the Corvan Velo package is a " +
            "stand-in for the editor and is left out of player builds. Add the real core's " +
            "library to your project (VeloCore.dll for Windows x86-64, libVeloCore.so for Linux " +
            "x86-64), for example in Assets/Plugins/x86_64, with its import settings enabled for " +
            "that player platform; the package README says how.";

        /// <summary>Whether the core library can be found by the name the adapter links to. A
        /// missing library throws DllNotFoundException; the real core, which lacks the probed
        /// function, throws EntryPointNotFoundException.</summary>
        private static bool CoreIsLoadable()
        {
            try
            {
                veloStandInCallCount();
                return true;
            }
            catch (EntryPointNotFoundException)
            {
                return true;
            }
            catch (DllNotFoundException)
            {
                return false;
            }
        }

        [DllImport("VeloCore")]
        private static extern int veloStandInCallCount();

        /// <summary>Every function NativeMethods declares, by name (a test compares the list
        /// with the declarations and with the adapter's export list).</summary>
        internal static readonly string[] EntryPoints = {
            nameof(NativeMethods.setUnityCallback),
            nameof(NativeMethods.setLoginObserverAdapter),
            nameof(NativeMethods.setAccountObserverAdapter),
            nameof(NativeMethods.setNoticeObserverAdapter),
            nameof(NativeMethods.setWebViewObserverAdapter),
            nameof(NativeMethods.loginAdapter),
            nameof(NativeMethods.autoLoginAdapter),
            nameof(NativeMethods.logoutAdapter),
            nameof(NativeMethods.bindAdapter),
            nameof(NativeMethods.canBindAdapter),
            nameof(NativeMethods.loginWithConfirmcodeAdapter),
            nameof(NativeMethods.preLoadParleyLibraryAdapter),
            nameof(NativeMethods.setInstallChannelAdapter),
            nameof(NativeMethods.onRealNameAuthFinishedAdapter),
            nameof(NativeMethods.unInstallAdapter),
            nameof(NativeMethods.getLoginRetAdapter),
            nameof(NativeMethods.requestVerifyCodeAdapter),
            nameof(NativeMethods.resetPasswordAdapter),
            nameof(NativeMethods.modifyAdapter),
            nameof(NativeMethods.getRegisterStatusAdapter),
            nameof(NativeMethods.getVerifyCodeStatusAdapter),
            nameof(NativeMethods.getReceiveEmailAdapter),
            nameof(NativeMethods.verifyPasswordAdapter),
            nameof(NativeMethods.loadNoticeDataAdapter),
            nameof(NativeMethods.openUrlAdapter),
            nameof(NativeMethods.getEncodeUrlAdapter),
            nameof(NativeMethods.callJSAdapter),
            nameof(NativeMethods.openOxaCenterAdapter),
            nameof(NativeMethods.openDeleteAccountUrlAdapter),
            nameof(NativeMethods.closeAdapter),
            nameof(NativeMethods.setLanguageAdapter),
            nameof(NativeMethods.setRegionAdapter),
            nameof(NativeMethods.releaseTextAdapter),
        };

        private static bool IsWindows
        {
            get {
                return Environment.OSVersion.Platform == PlatformID.Win32NT;
            }
        }

        private static IntPtr LoadedModule()
        {
            try
            {
                return IsWindows
                           ? GetModuleHandleW(NativeMethods.Library + ".dll")
                           : dlopen("lib" + NativeMethods.Library + ".so", RtldNow | RtldNoLoad);
            }
            catch (Exception)
            {
                return IntPtr.Zero;
            }
        }

        private static IntPtr FindSymbol(IntPtr module, string name)
        {
            return IsWindows ? GetProcAddress(module, name) : dlsym(module, name);
        }

        private const int RtldNow = 2;
        private const int RtldNoLoad = 4;

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern IntPtr GetModuleHandleW(string name);

        [DllImport("kernel32", CharSet = CharSet.Ansi, SetLastError = true)]
        private static extern IntPtr GetProcAddress(IntPtr module, string name);

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlopen(string file, int mode);

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlsym(IntPtr handle, string name);
    }
}
