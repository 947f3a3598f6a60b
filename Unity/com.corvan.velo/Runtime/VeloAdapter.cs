using System;
using AOT;
using UnityEngine.Scripting;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The game's entry to the native adapter. Call <see cref="Initialize"/> once before anything
    /// else; requests return at once and their results arrive through
    /// <see cref="ResultDispatcher"/>, on the thread that calls
    /// <see cref="ResultDispatcher.DispatchPending"/> (in Unity, the main thread, every frame).
    /// </summary>
    public static class VeloAdapter
    {
        // Kept for the life of the process: native code holds this delegate's pointer.
        private static readonly NativeMethods.UnityCallback Callback = OnNativeResult;
        private static bool initialized;

        /// <summary>The version of this package (its package.json), which its native libraries
        /// also carry.</summary>
        public static string Version => PackageVersion;

        internal const string PackageVersion = "1.0.0";

        public static bool IsInitialized
        {
            get {
                return initialized;
            }
        }

        /// <summary>Loads the native adapter, checks that it has every function this binding
        /// uses and registers the result callback. Throws a <see cref="VeloAdapterException"/>
        /// naming what is missing.</summary>
        public static void Initialize()
        {
            if (initialized)
            {
                return;
            }
            var missing = NativeLibraryCheck.MissingEntryPoints();
            if (missing.Count > 0)
            {
                throw new VeloAdapterException(
                    "The native library '" + NativeMethods.Library + "' lacks the function(s) " +
                    string.Join(", ", missing.ToArray()) + ": it does not match this package.");
            }
            NativeMethods.setUnityCallback(Callback);
            initialized = true;
            UnityHooks.Installed();
        }

        /// <summary>Unregisters the callback. When this returns no result is being delivered
        /// any more, and none will be; results already queued stay queued.</summary>
        public static void Shutdown()
        {
            if (!initialized)
            {
                return;
            }
            NativeMethods.setUnityCallback(null);
            initialized = false;
        }

        /// <summary>Back to the state of a fresh process (Unity calls it when entering play
        /// mode without a domain reload).</summary>
        internal static void ResetStatics()
        {
            initialized = false;
            ResultDispatcher.Reset();
        }

        // Called by native code only, through the delegate in Callback.
        [MonoPInvokeCallback(typeof(NativeMethods.UnityCallback))]
        [Preserve]
        private static void OnNativeResult(int methodNameID, IntPtr json)
        {
            ResultDispatcher.Receive(methodNameID, json);
        }

        private static void RequireInitialized()
        {
            if (!initialized)
            {
                throw new VeloAdapterException(
                    "VeloAdapter.Initialize must be called before the first request.");
            }
        }

        private static byte[] T(string text)
        {
            return Utf8.ToNative(text);
        }

        /// <summary>Reads a text the adapter returned, then releases it with the adapter's
        /// heap.</summary>
        private static T TakeText<T>(IntPtr text, Func<IntPtr, T> read)
        {
            try
            {
                return read(text);
            }
            finally
            {
                NativeMethods.releaseTextAdapter(text);
            }
        }

        private static string TakeText(IntPtr text)
        {
            return TakeText(text, Utf8.FromNative);
        }

        // --- Login ------------------------------------------------------------------------

        public static void Login(string a, string b, string c, string d)
        {
            RequireInitialized();
            NativeMethods.loginAdapter(T(a), T(b), T(c), T(d));
        }

        public static void AutoLogin()
        {
            RequireInitialized();
            NativeMethods.autoLoginAdapter();
        }

        public static void Logout(string a, string b, bool flag)
        {
            RequireInitialized();
            NativeMethods.logoutAdapter(T(a), T(b), flag);
        }

        public static void Bind(string a, string b, string c, string d)
        {
            RequireInitialized();
            NativeMethods.bindAdapter(T(a), T(b), T(c), T(d));
        }

        public static void CanBind(string a, string b, string c)
        {
            RequireInitialized();
            NativeMethods.canBindAdapter(T(a), T(b), T(c));
        }

        public static void LoginWithConfirmCode(int code, string a, string b)
        {
            RequireInitialized();
            NativeMethods.loginWithConfirmcodeAdapter(code, T(a), T(b));
        }

        public static void PreLoadParleyLibrary()
        {
            RequireInitialized();
            NativeMethods.preLoadParleyLibraryAdapter();
        }

        public static void SetInstallChannel(string channel)
        {
            RequireInitialized();
            NativeMethods.setInstallChannelAdapter(T(channel));
        }

        public static void OnRealNameAuthFinished(string a, string b, string c, bool flag)
        {
            RequireInitialized();
            NativeMethods.onRealNameAuthFinishedAdapter(T(a), T(b), T(c), flag);
        }

        public static void UnInstall()
        {
            RequireInitialized();
            NativeMethods.unInstallAdapter();
        }

        /// <summary>The core's current login, as JSON (the login members, no envelope).</summary>
        public static string GetLoginRetJson()
        {
            RequireInitialized();
            return TakeText(NativeMethods.getLoginRetAdapter());
        }

        /// <summary>The core's current login; null when the adapter ran out of memory. Throws a
        /// <see cref="VeloAdapterException"/> for a text it cannot read.</summary>
        public static LoginResult GetLoginRet()
        {
            RequireInitialized();
            return TakeText(NativeMethods.getLoginRetAdapter(), ReadLogin);
        }

        private static LoginResult ReadLogin(IntPtr text)
        {
            if (text == IntPtr.Zero)
            {
                return null;
            }
            try
            {
                return ResultReader.ReadLogin(text);
            }
            catch (Newtonsoft.Json.JsonException e)
            {
                throw new VeloAdapterException("The login snapshot could not be read: " + e.Message,
                                               e);
            }
        }

        // --- Account ----------------------------------------------------------------------

        public static void RequestVerifyCode(string s1, string s2, int i3, int i4, string s5,
                                             string s6, string s7)
        {
            RequireInitialized();
            NativeMethods.requestVerifyCodeAdapter(T(s1), T(s2), i3, i4, T(s5), T(s6), T(s7));
        }

        public static void ResetPassword(string s1, int i2, string s3, string s4, string s5, int i6,
                                         int i7, string s8, string s9, string s10)
        {
            RequireInitialized();
            NativeMethods.resetPasswordAdapter(T(s1), i2, T(s3), T(s4), T(s5), i6, i7, T(s8), T(s9),
                                               T(s10));
        }

        public static void Modify(string s1, int i2, string s3, int i4, int i5, int i6, string s7,
                                  string s8, int i9, string s10, string s11, string s12, string s13)
        {
            RequireInitialized();
            NativeMethods.modifyAdapter(T(s1), i2, T(s3), i4, i5, i6, T(s7), T(s8), i9, T(s10),
                                        T(s11), T(s12), T(s13));
        }

        public static void GetRegisterStatus(string s1, string s2, int i3, string s4, string s5,
                                             string s6)
        {
            RequireInitialized();
            NativeMethods.getRegisterStatusAdapter(T(s1), T(s2), i3, T(s4), T(s5), T(s6));
        }

        public static void GetVerifyCodeStatus(string s1, string s2, int i3, int i4, int i5,
                                               string s6, string s7, string s8)
        {
            RequireInitialized();
            NativeMethods.getVerifyCodeStatusAdapter(T(s1), T(s2), i3, i4, i5, T(s6), T(s7), T(s8));
        }

        public static void GetReceiveEmail(string s1, string s2, int i3, string s4, string s5,
                                           string s6)
        {
            RequireInitialized();
            NativeMethods.getReceiveEmailAdapter(T(s1), T(s2), i3, T(s4), T(s5), T(s6));
        }

        public static void VerifyPassword(string s1, string s2, string s3, int i4, string s5,
                                          string s6, string s7)
        {
            RequireInitialized();
            NativeMethods.verifyPasswordAdapter(T(s1), T(s2), T(s3), i4, T(s5), T(s6), T(s7));
        }

        // --- Notices ----------------------------------------------------------------------

        /// <summary>Asks the core for notices; returns its immediate answer. The notices
        /// themselves arrive as a NoticeResult.</summary>
        public static string LoadNoticeData(string s1, string s2, int i3, string s4, string s5)
        {
            RequireInitialized();
            return TakeText(NativeMethods.loadNoticeDataAdapter(T(s1), T(s2), i3, T(s4), T(s5)));
        }

        // --- Web view ---------------------------------------------------------------------

        public static void OpenUrl(string url, int i2, bool b3, bool b4, string s5, bool b6)
        {
            RequireInitialized();
            NativeMethods.openUrlAdapter(T(url), i2, b3, b4, T(s5), b6);
        }

        public static string GetEncodeUrl(string url)
        {
            RequireInitialized();
            return TakeText(NativeMethods.getEncodeUrlAdapter(T(url)));
        }

        public static void CallJS(string script)
        {
            RequireInitialized();
            NativeMethods.callJSAdapter(T(script));
        }

        public static void OpenOxaCenter(string s1, string s2, string s3, string s4, string s5,
                                         string s6, int i7, string s8)
        {
            RequireInitialized();
            NativeMethods.openOxaCenterAdapter(T(s1), T(s2), T(s3), T(s4), T(s5), T(s6), i7, T(s8));
        }

        public static void OpenDeleteAccountUrl(string s1, int i2, bool b3, string s4)
        {
            RequireInitialized();
            NativeMethods.openDeleteAccountUrlAdapter(T(s1), i2, b3, T(s4));
        }

        public static void Close()
        {
            RequireInitialized();
            NativeMethods.closeAdapter();
        }

        // --- Settings ---------------------------------------------------------------------

        public static void SetLanguage(string language)
        {
            RequireInitialized();
            NativeMethods.setLanguageAdapter(T(language));
        }

        public static void SetRegion(string a, string b, string c)
        {
            RequireInitialized();
            NativeMethods.setRegionAdapter(T(a), T(b), T(c));
        }
    }
}
