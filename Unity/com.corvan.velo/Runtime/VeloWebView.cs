using System;
using static Corvan.Velo.Unity.VeloAdapter;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The core's embedded web view (<c>VeloWebView</c>): its requests, with the parameters in
    /// the core's positions, and the event of the results its observer reports. Every request
    /// needs <see cref="VeloAdapter.Initialize"/> first (else it throws an
    /// <see cref="InvalidOperationException"/>) and sends a null text as an empty one; results
    /// arrive later, on the dispatching thread.
    /// </summary>
    public static class VeloWebView
    {
        /// <summary>A web view event: a page loading, its progress, its messages, its
        /// closing.</summary>
        public static event Action<WebViewResult> WebViewResultReceived
        {
            add => ResultDispatcher.WebView.Add(value);
            remove => ResultDispatcher.WebView.Remove(value);
        }

        /// <summary><c>VeloWebView::OpenUrl(url, i2, b3, b4, s5, b6)</c>: one text, an integer, two
        /// flags, one text, a flag. Answered by <see cref="WebViewResultReceived"/>.</summary>
        /// <param name="url">The address, position 1.</param>
        /// <param name="i2">Integer, position 2.</param>
        /// <param name="b3">Flag, position 3.</param>
        /// <param name="b4">Flag, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="b6">Flag, position 6.</param>
        public static void OpenUrl(string url, int i2, bool b3, bool b4, string s5, bool b6)
        {
            RequireInitialized();
            VeloScenario.Request("VeloWebView.OpenUrl", url, i2, b3, b4, s5, b6);
            NativeMethods.openUrlAdapter(T(url, nameof(url)), i2, b3, b4, T(s5, nameof(s5)), b6);
        }

        /// <summary><c>VeloWebView::GetEncodeUrl(url)</c>: one text. Answered at once, with a
        /// text.</summary>
        /// <param name="url">The address, position 1.</param>
        /// <returns>The encoded address (null when the adapter ran out of memory).</returns>
        public static string GetEncodeUrl(string url)
        {
            RequireInitialized();
            VeloScenario.Request("VeloWebView.GetEncodeUrl", url);
            return TakeText(NativeMethods.getEncodeUrlAdapter(T(url, nameof(url))));
        }

        /// <summary><c>VeloWebView::CallJS(script)</c>: one text. Answered by
        /// <see cref="WebViewResultReceived"/>.</summary>
        /// <param name="script">The script, position 1.</param>
        public static void CallJS(string script)
        {
            RequireInitialized();
            VeloScenario.Request("VeloWebView.CallJS", script);
            NativeMethods.callJSAdapter(T(script, nameof(script)));
        }

        /// <summary><c>VeloWebView::OpenOxaCenter(s1, s2, s3, s4, s5, s6, i7, s8)</c>: six texts,
        /// an integer, one text. Answered by <see cref="WebViewResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="s3">Text, position 3.</param>
        /// <param name="s4">Text, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="s6">Text, position 6.</param>
        /// <param name="i7">Integer, position 7.</param>
        /// <param name="s8">Text, position 8.</param>
        public static void OpenOxaCenter(string s1, string s2, string s3, string s4, string s5,
                                         string s6, int i7, string s8)
        {
            RequireInitialized();
            VeloScenario.Request("VeloWebView.OpenOxaCenter", s1, s2, s3, s4, s5, s6, i7, s8);
            NativeMethods.openOxaCenterAdapter(
                T(s1, nameof(s1)), T(s2, nameof(s2)), T(s3, nameof(s3)), T(s4, nameof(s4)),
                T(s5, nameof(s5)), T(s6, nameof(s6)), i7, T(s8, nameof(s8)));
        }

        /// <summary><c>VeloWebView::OpenDeleteAccountUrl(s1, i2, b3, s4)</c>: one text, an integer,
        /// a flag, one text. Answered by <see cref="WebViewResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="i2">Integer, position 2.</param>
        /// <param name="b3">Flag, position 3.</param>
        /// <param name="s4">Text, position 4.</param>
        public static void OpenDeleteAccountUrl(string s1, int i2, bool b3, string s4)
        {
            RequireInitialized();
            VeloScenario.Request("VeloWebView.OpenDeleteAccountUrl", s1, i2, b3, s4);
            NativeMethods.openDeleteAccountUrlAdapter(T(s1, nameof(s1)), i2, b3, T(s4, nameof(s4)));
        }

        /// <summary><c>VeloWebView::Close()</c>. Closes the web view. Answered by
        /// <see cref="WebViewResultReceived"/>.</summary>
        public static void Close()
        {
            RequireInitialized();
            VeloScenario.Request("VeloWebView.Close");
            NativeMethods.closeAdapter();
        }
    }
}
