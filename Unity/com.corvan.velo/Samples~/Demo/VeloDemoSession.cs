using System;
using System.Threading;
using System.Threading.Tasks;
using UnityEngine;

namespace Corvan.Velo.Unity.Samples
{
    /// <summary>
    /// The demo session as a game runs it: add this component to a game object and press Play.
    /// It initialises the binding, subscribes in OnEnable and unsubscribes in OnDisable, and runs
    /// the flow (language and region, log in, the login snapshot, an account request, notices, a
    /// web page, log out) by awaiting each request's result with a timeout, so that no frame
    /// ever waits. In the editor it turns on the stand-in core's answering mode.
    /// </summary>
    public sealed class VeloDemoSession : MonoBehaviour
    {
        /// <summary>How long to wait for each answer.</summary>
        public float timeoutSeconds = 5;

        private CancellationTokenSource stop;

        /// <summary>The running flow: true once it completed, false when it stopped early.
        /// </summary>
        public Task<bool> Flow { get; private set; }

        private void OnEnable()
        {
            try
            {
                VeloAdapter.Initialize();
            }
            catch (VeloAdapterException e)
            {
                Debug.LogException(e);
                // What a support screen shows: each native library, where it was looked for,
                // whether it loaded, its version and what it lacks.
                Debug.Log(VeloAdapter.Diagnose());
                Flow = Task.FromResult(false);
                return;
            }
#if UNITY_EDITOR
            if (VeloStandIn.IsAvailable)
            {
                VeloStandIn.SetAnswering(true);
            }
#endif
            VeloLogin.LoginResultReceived += OnLogin;
            VeloAccount.AccountResultReceived += OnAccount;
            VeloNotice.NoticeResultReceived += OnNotices;
            VeloWebView.WebViewResultReceived += OnWebView;
            ResultDispatcher.DispatchFailed += Debug.LogException;
            stop = new CancellationTokenSource();
            Flow = Run(stop.Token);
        }

        private void OnDisable()
        {
            VeloLogin.LoginResultReceived -= OnLogin;
            VeloAccount.AccountResultReceived -= OnAccount;
            VeloNotice.NoticeResultReceived -= OnNotices;
            VeloWebView.WebViewResultReceived -= OnWebView;
            ResultDispatcher.DispatchFailed -= Debug.LogException;
            stop?.Cancel();
            stop?.Dispose();
            stop = null;
        }

        private async Task<bool> Run(CancellationToken token)
        {
            try
            {
                Debug.Log("Set language and region");
                VeloTools.SetLanguage("en");
                VeloTools.SetRegion("EU", "DE", "Europe/Berlin");

                Debug.Log("Log in");
                var login = Next<LoginResult>(null, token);
                VeloLogin.Login("Guest", "device-7f3a", "", "{\"source\":\"demo\"}");
                await login;
                Debug.Log(VeloLogin.TryGetLoginRet(out var snapshot)
                              ? "Logged in as " + snapshot.UserName + " (" + snapshot.OpenId + ")"
                              : "No login snapshot");

                Debug.Log("Request a verification code");
                var account = Next<AccountResult>(null, token);
                VeloAccount.RequestVerifyCode("player@example.com", "Mail", 1, 60, "en", "", "");
                await account;

                Debug.Log("Load notices");
                var notices = Next<NoticeResult>(null, token);
                Debug.Log("Notice request: " +
                          VeloNotice.LoadNoticeData("game", "EU", 1, "en", ""));
                await notices;

                Debug.Log("Open a page");
                var loaded =
                    Next<WebViewResult>(r => r.MsgType == 1 && r.EmbedProgress >= 1, token);
                VeloWebView.OpenUrl("https://example.com/news", 1, true, false, "", true);
                await loaded;
                Debug.Log("Encoded: " +
                          VeloWebView.GetEncodeUrl("https://example.com/a b?q=\u00e9"));

                Debug.Log("Close the page");
                var closed = Next<WebViewResult>(r => r.MsgType == 2, token);
                VeloWebView.Close();
                await closed;

                Debug.Log("Log out");
                var loggedOut = Next<BaseResult>(r => r.GetType() == typeof(BaseResult), token);
                VeloLogin.Logout("Guest", "", false);
                await loggedOut;
                Debug.Log("Session complete");
                return true;
            }
            catch (Exception e) when (e is OperationCanceledException || e is TimeoutException)
            {
                Debug.LogWarning("Session stopped: " + e.Message);
                return false;
            }
        }

        // The next matching result; a TimeoutException after timeoutSeconds.
        private async Task<T> Next<T>(Func<T, bool> predicate, CancellationToken token)
            where T : BaseResult
        {
            using (var timeout = CancellationTokenSource.CreateLinkedTokenSource(token))
            {
                timeout.CancelAfter(TimeSpan.FromSeconds(timeoutSeconds));
                try
                {
                    return await ResultDispatcher.NextAsync(predicate, timeout.Token);
                }
                catch (OperationCanceledException)
                    when (!token.IsCancellationRequested && timeout.IsCancellationRequested)
                {
                    throw new TimeoutException("No " + typeof(T).Name + " within " +
                                               timeoutSeconds + " s.");
                }
            }
        }

        private static void OnLogin(LoginResult r)
        {
            Debug.Log("  <- login " + r.MethodNameID + ": " + r.RetCode + " " + r.UserName);
        }

        private static void OnAccount(AccountResult r)
        {
            Debug.Log("  <- account " + r.MethodNameID + ": " + r.RetCode + " " + r.Seq);
        }

        private static void OnNotices(NoticeResult r)
        {
            Debug.Log("  <- notices " + r.MethodNameID + ": " + r.Notices.Count + " notices");
        }

        private static void OnWebView(WebViewResult r)
        {
            Debug.Log("  <- web view " + r.MethodNameID + ": type " + r.MsgType + ", progress " +
                      r.EmbedProgress + ", " + r.EmbedUrl);
        }
    }
}
