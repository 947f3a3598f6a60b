using System;
using System.Runtime.InteropServices;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Every function the native adapter exports, with its exact C signature. Texts go in as
    /// zero-terminated UTF-8 byte arrays (null for a null pointer); flags are one-byte C bools;
    /// returned texts are pointers the caller releases with releaseTextAdapter.
    /// </summary>
    internal static class NativeMethods
    {
        internal const string Library = "VeloUnityAdapter";

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void UnityCallback(int methodNameID, IntPtr json);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setUnityCallback(UnityCallback callback);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setLoginObserverAdapter();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setAccountObserverAdapter();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setNoticeObserverAdapter();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setWebViewObserverAdapter();

        // Login
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void loginAdapter(byte[] a, byte[] b, byte[] c, byte[] d);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void autoLoginAdapter();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void logoutAdapter(byte[] a, byte[] b,
                                                  [MarshalAs(UnmanagedType.I1)] bool flag);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void bindAdapter(byte[] a, byte[] b, byte[] c, byte[] d);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void canBindAdapter(byte[] a, byte[] b, byte[] c);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void loginWithConfirmcodeAdapter(int code, byte[] a, byte[] b);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void preLoadParleyLibraryAdapter();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setInstallChannelAdapter(byte[] channel);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void onRealNameAuthFinishedAdapter(
            byte[] a, byte[] b, byte[] c, [MarshalAs(UnmanagedType.I1)] bool flag);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void unInstallAdapter();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr getLoginRetAdapter();

        // Account
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void requestVerifyCodeAdapter(byte[] s1, byte[] s2, int i3, int i4,
                                                             byte[] s5, byte[] s6, byte[] s7);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void resetPasswordAdapter(byte[] s1, int i2, byte[] s3, byte[] s4,
                                                         byte[] s5, int i6, int i7, byte[] s8,
                                                         byte[] s9, byte[] s10);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void modifyAdapter(byte[] s1, int i2, byte[] s3, int i4, int i5,
                                                  int i6, byte[] s7, byte[] s8, int i9, byte[] s10,
                                                  byte[] s11, byte[] s12, byte[] s13);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void getRegisterStatusAdapter(byte[] s1, byte[] s2, int i3,
                                                             byte[] s4, byte[] s5, byte[] s6);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void getVerifyCodeStatusAdapter(byte[] s1, byte[] s2, int i3, int i4,
                                                               int i5, byte[] s6, byte[] s7,
                                                               byte[] s8);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void getReceiveEmailAdapter(byte[] s1, byte[] s2, int i3, byte[] s4,
                                                           byte[] s5, byte[] s6);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void verifyPasswordAdapter(byte[] s1, byte[] s2, byte[] s3, int i4,
                                                          byte[] s5, byte[] s6, byte[] s7);

        // Notices
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr loadNoticeDataAdapter(byte[] s1, byte[] s2, int i3, byte[] s4,
                                                            byte[] s5);

        // Web view
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void openUrlAdapter(byte[] url, int i2,
                                                   [MarshalAs(UnmanagedType.I1)] bool b3,
                                                   [MarshalAs(UnmanagedType.I1)] bool b4, byte[] s5,
                                                   [MarshalAs(UnmanagedType.I1)] bool b6);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern IntPtr getEncodeUrlAdapter(byte[] url);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void callJSAdapter(byte[] script);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void openOxaCenterAdapter(byte[] s1, byte[] s2, byte[] s3, byte[] s4,
                                                         byte[] s5, byte[] s6, int i7, byte[] s8);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void openDeleteAccountUrlAdapter(
            byte[] s1, int i2, [MarshalAs(UnmanagedType.I1)] bool b3, byte[] s4);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void closeAdapter();

        // Settings: the pointers reach the core unchanged.
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setLanguageAdapter(byte[] language);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void setRegionAdapter(byte[] a, byte[] b, byte[] c);

        // Memory
        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        internal static extern void releaseTextAdapter(IntPtr text);
    }
}
