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
