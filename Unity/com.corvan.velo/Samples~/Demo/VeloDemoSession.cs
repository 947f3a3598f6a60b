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
    /// web page, log out) by awaiting each request's answer, so that no frame ever waits. In the
    /// editor it turns on the stand-in core's answering mode, unless a scenario plays (Project
    /// Settings, Corvan Velo): the scenarios beside this sample lead it down each of its paths.
    /// <list type="bullet">
    /// <item>An answer that takes longer than <see cref="slowAfterSeconds"/> is said to be slow
    /// ("Still waiting for ..."); the session goes on when it comes (slow-answers.json).</item>
    /// <item>No answer within <see cref="timeoutSeconds"/>: the session stops ("Session stopped:
    /// No answer to ..."), as when the core drops a request (dropped-request.json).</item>
    /// <item>A login the core refuses stops the session with the core's reason ("Login refused
    /// (code): ..."), as for a wrong password or a banned account (wrong-password.json,
    /// banned-account.json).</item>
    /// <item>Each notice is listed with its pictures (notices-with-pictures.json).</item>
    /// <item>A page closed before it loaded is said to be ("The page was closed before it
    /// loaded"), and the session goes on (page-closed-early.json).</item>
    /// </list>
    /// </summary>
    public sealed class VeloDemoSession : MonoBehaviour
    {
        /// <summary>How long to wait for each answer, in seconds of unscaled game time.</summary>
        public float timeoutSeconds = 10;

        /// <summary>After this long without an answer, the session says it is still waiting.
        /// </summary>
        public float slowAfterSeconds = 2;

        private CancellationTokenSource stop;

        // The answer awaited: what it answers, since when, whether it was said to be slow, and
        // how to give up waiting.
        private CancellationTokenSource waiting;
        private string waitingFor;
        private float waitingSince;
        private bool saidSlow;

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

        // Says when an answer is slow, and gives up waiting once it is too late.
        private void Update()
        {
            if (waiting == null)
            {
                return;
            }
            var waited = Time.unscaledTime - waitingSince;
            if (!saidSlow && waited >= slowAfterSeconds)
            {
                saidSlow = true;
                Debug.LogWarning("Still waiting for " + waitingFor + " after " + slowAfterSeconds +
                                 " s");
            }
            if (waited >= timeoutSeconds)
            {
                waiting.Cancel();
            }
        }

        private async Task<bool> Run(CancellationToken token)
        {
            try
            {
                Debug.Log("Set language and region");
                VeloTools.SetLanguage("en");
                VeloTools.SetRegion("EU", "DE", "Europe/Berlin");

                Debug.Log("Log in");
                var login = await Request<LoginResult>(
                    "the login", null,
                    () => VeloLogin.Login("Guest", "device-7f3a", "", "{\"source\":\"demo\"}"),
                    token);
                if (login.RetCode != 0)
                {
                    // A wrong password, a banned account: the core says why.
                    Debug.LogWarning("Login refused (" + login.RetCode + "): " + login.RetMsg);
                    return false;
                }
                Debug.Log(VeloLogin.TryGetLoginRet(out var snapshot)
                              ? "Logged in as " + snapshot.UserName + " (" + snapshot.OpenId + ")"
                              : "No login snapshot");

                Debug.Log("Request a verification code");
                await Request<AccountResult>("the verification code", null,
                                             () => VeloAccount.RequestVerifyCode(
                                                 "player@example.com", "Mail", 1, 60, "en", "", ""),
                                             token);

                Debug.Log("Load notices");
                var notices = await Request<NoticeResult>(
                    "the notices", null,
                    () => Debug.Log("Notice request: " +
                                    VeloNotice.LoadNoticeData("game", "EU", 1, "en", "")),
                    token);
                foreach (var notice in notices.Notices)
                {
                    Debug.Log("Notice " + notice.Id + ": " + notice.Text.Title);
                    foreach (var picture in notice.Pictures)
                    {
                        Debug.Log("  picture " + picture.Size + " " + picture.Url);
                    }
                }

                Debug.Log("Open a page");
                var page = await Request<WebViewResult>(
                    "the page", r => r.MsgType == 2 || (r.MsgType == 1 && r.EmbedProgress >= 1),
                    () => VeloWebView.OpenUrl("https://example.com/news", 1, true, false, "", true),
                    token);
                if (page.MsgType == 2)
                {
                    Debug.LogWarning("The page was closed before it loaded");
                }
                else
                {
                    Debug.Log("Encoded: " +
                              VeloWebView.GetEncodeUrl("https://example.com/a b?q=\u00e9"));
                    Debug.Log("Close the page");
                    await Request<WebViewResult>("the page to close", r => r.MsgType == 2,
                                                 VeloWebView.Close, token);
                }

                Debug.Log("Log out");
                await Request<BaseResult>("the logout", r => r.GetType() == typeof(BaseResult),
                                          () => VeloLogin.Logout("Guest", "", false), token);
                Debug.Log("Session complete");
                return true;
            }
            catch (Exception e) when (e is OperationCanceledException || e is TimeoutException)
            {
                Debug.LogWarning("Session stopped: " + e.Message);
                return false;
            }
        }

        // Sends a request and awaits its answer: the next result of kind T that `accepts` takes
        // (any, when null). A TimeoutException after timeoutSeconds: of real time, which NextAsync
        // bounds itself, or of the game's unscaled time (Update), which a test moves on frame by
        // frame.
        private async Task<T> Request<T>(string what, Func<T, bool> accepts, Action send,
                                         CancellationToken token)
            where T : BaseResult
        {
            using (var timeout = CancellationTokenSource.CreateLinkedTokenSource(token))
            {
                var answer = ResultDispatcher.NextAsync(
                    accepts, TimeSpan.FromSeconds(timeoutSeconds), timeout.Token);
                waiting = timeout;
                waitingFor = what;
                waitingSince = Time.unscaledTime;
                saidSlow = false;
                try
                {
                    send();
                    return await answer;
                }
                catch (OperationCanceledException)
                    when (!token.IsCancellationRequested && timeout.IsCancellationRequested)
                {
                    throw new TimeoutException("No answer to " + what + " within " +
                                               timeoutSeconds + " s.");
                }
                finally
                {
                    waiting = null;
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
