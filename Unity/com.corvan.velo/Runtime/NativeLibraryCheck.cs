using System.Runtime.InteropServices;
using UnityEngine;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Before any request is made: the native adapter and its core can be used, or the reason
    /// why not is thrown, once, naming what is missing (<see cref="NativeLibraryDiagnosis"/>),
    /// instead of failing at some later call.
    /// </summary>
    internal static class NativeLibraryCheck
    {
        /// <summary>Loads the libraries and checks them.</summary>
        /// <exception cref="VeloAdapterException">What is wrong, with its reason.</exception>
        internal static void Check()
        {
            var report = NativeLibraryDiagnosis.Run();
            if (report.Reason.HasValue)
            {
                throw new VeloAdapterException(report.Reason.Value, report.Message);
            }
        }

        /// <summary>Why the package has no native library for the platform the game runs on, or
        /// null when it has one.</summary>
        internal static string UnsupportedPlatform()
        {
            var platform = Application.platform;
            var architecture = RuntimeInformation.ProcessArchitecture;
            if (HasNativeLibrary(platform, architecture))
            {
                return null;
            }
            return "The Corvan Velo package has no native library for " + platform + " (" +
                   architecture + "): it has them for Windows and Linux on x86-64, in editors, " +
                   "players and servers. Here Initialize fails and every request throws as " +
                   "before Initialize: leave the package's calls out of builds for this platform.";
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
    }
}
