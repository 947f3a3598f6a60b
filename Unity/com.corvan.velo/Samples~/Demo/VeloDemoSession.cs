using System;
using System.Diagnostics;

namespace Corvan.Velo.Unity.Samples
{
    /// <summary>
    /// The scripted session of the native demo, played through the C# binding against the
    /// stand-in core in answering mode: every request, every result printed as it is dispatched.
    /// In Unity, call Run from a MonoBehaviour.
    /// </summary>
    public static class VeloDemoSession
    {
        public static bool Run(Action<string> print)
        {
            VeloAdapter.Initialize();
            VeloStandIn.SetAnswering(true);
            ResultDispatcher.ResultReceived += (id, json) =>
                print("  <- result " + id + ": " + json);
            try
            {
                return Step(print, "Set language and region", 0,
                            () =>
                            {
                                VeloAdapter.SetLanguage("en");
                                VeloAdapter.SetRegion("EU", "DE", "Europe/Berlin");
                            }) &&
                       Step(print, "Log in", 1,
                            () => VeloAdapter.Login("Guest", "device-7f3a", "",
                                                    "{\"source\":\"demo\"}")) &&
                       Step(print, "Read the login snapshot", 0,
                            () => print("  => login snapshot: " + VeloAdapter.GetLoginRetJson())) &&
                       Step(print, "Request a verification code", 1,
                            () => VeloAdapter.RequestVerifyCode("player@example.com", "Mail", 1, 60,
                                                                "en", "", "")) &&
                       Step(print, "Load notices", 1,
                            () => print("  => notice request: " +
                                        VeloAdapter.LoadNoticeData("game", "EU", 1, "en", ""))) &&
                       Step(print, "Open a page", 2,
                            () => VeloAdapter.OpenUrl("https://example.com/news", 1, true, false,
                                                      "", true)) &&
                       Step(print, "Encode a URL", 0,
                            () => print(
                                "  => encoded: " +
                                VeloAdapter.GetEncodeUrl("https://example.com/a b?q=\u00e9"))) &&
                       Step(print, "Close the page", 1, VeloAdapter.Close) &&
                       Step(print, "Log out", 1, () => VeloAdapter.Logout("Guest", "", false));
            }
            finally
            {
                VeloAdapter.Shutdown();
                VeloStandIn.SetAnswering(false);
                VeloStandIn.WaitForAnswers();
            }
        }

        // Runs one request and dispatches results, as a game's frames would, until its answers
        // have arrived.
        private static bool Step(Action<string> print, string title, int answers, Action request)
        {
            print(title);
            var received = 0;
            Action<int, string> count = (id, json) => ++received;
            ResultDispatcher.ResultReceived += count;
            try
            {
                request();
                var clock = Stopwatch.StartNew();
                while (received < answers)
                {
                    ResultDispatcher.DispatchPending();
                    if (clock.Elapsed > TimeSpan.FromSeconds(5))
                    {
                        print("demo: no answer to \"" + title + "\"");
                        return false;
                    }
                    System.Threading.Thread.Sleep(5);
                }
                return true;
            }
            finally
            {
                ResultDispatcher.ResultReceived -= count;
            }
        }
    }
}
