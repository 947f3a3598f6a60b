using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using NUnit.Framework;
using Newtonsoft.Json.Linq;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Scenarios: <see cref="VeloScenario"/> records a session and writes the scenario
    /// that replays it against the stand-in core byte for byte, in order, at its times (on the
    /// core's manual clock: nothing waits), secrets masked unless kept; a bad scenario file is
    /// refused with its place, and the one playing plays on.</summary>
    public class ScenarioTests : BindingTest
    {
        private List<string> secrets;

        [SetUp]
        public void UseTheManualClock()
        {
            secrets = new List<string>(VeloScenario.Secrets);
            VeloStandIn.SetManualClock(true);
        }

        [TearDown]
        public void StopRecording()
        {
            VeloScenario.StopRecording();
            VeloScenario.Secrets.Clear();
            VeloScenario.Secrets.AddRange(secrets);
            VeloStandIn.Reset();
        }

        private static void Advance(long milliseconds)
        {
            Assert.IsTrue(VeloStandIn.AdvanceClock(milliseconds), VeloStandIn.LastError);
            ResultDispatcher.DispatchPending();
        }

        // Requests at their times (ms), each with results fired by hand after it in the session
        // recorded: every kind, its members at their extremes. What the requests returned at once.
        private static List<string> Session(bool fire)
        {
            var returned = new List<string>();
            var steps = new(long At, Action Request, string Kind, string Record)[] {
                (0, () => VeloLogin.Login("Guest", Unicode, "", "{\"a\":1}"), "login",
                 "{\"methodNameID\":101,\"retCode\":-2147483648,\"retMsg\":\"\\\"q\\\"\\n\\t\\\\ " +
                     Unicode + "\",\"token_expire_time\":-9223372036854775808," +
                     "\"need_name_auth\":true,\"bind_list\":\"[{\\\"c\\\":3}]\"}"),
                (25,
                 () =>
                     returned.Add(VeloLogin.TryGetLoginRet(out var login) ? login.UserName : null),
                 "qrcode", "{\"methodNameID\":111,\"channelID\":2147483647,\"qrCodeUrl\":\"q\"}"),
                (40,
                 () => VeloAccount.RequestVerifyCode("p@example.com", "Mail", 1, 60, "en", "", ""),
                 "account", "{\"methodNameID\":201,\"is_receive_email\":-1}"),
                (70, () => returned.Add(VeloNotice.LoadNoticeData("game", "EU", 1, "en", "")),
                 "notice",
                 "{\"methodNameID\":301,\"notice_list\":[{\"notice_text_obj\":{\"notice_title\":" +
                     "\"T\\\"\"},\"notice_pic_list\":[{\"pic_url\":\"u\",\"pic_dir\":1},{}]},{}]}"),
                (100,
                 () => VeloWebView.OpenUrl("https://example.com/a b", 1, true, false, "", true),
                 "webview", "{\"methodNameID\":402,\"embedProgress\":0.1}"),
                (110, () => returned.Add(VeloWebView.GetEncodeUrl("a b")), "webview",
                 "{\"methodNameID\":403,\"embedProgress\":null}"),
                (140, () => VeloLogin.Logout("Guest", "", false), null, null),
                (150, () => VeloTools.SetLanguage(null), null, null),
            };
            var start = VeloStandIn.ClockMilliseconds;
            var now = start;
            foreach (var step in steps)
            {
                Advance(start + step.At - now);
                now = start + step.At;
                step.Request();
                if (fire && step.Kind != null)
                    Assert.IsTrue(VeloStandIn.Fire(step.Kind, step.Record, true));
                Advance(0);
            }
            Advance(200);
            return returned;
        }

        [Test]
        public void ARecordedSessionReplaysAgainstTheStandInByteForByteInOrderAtItsTimes()
        {
            VeloStandIn.SetAnswering(true);
            VeloScenario.StartRecording();
            var returned = Session(true);
            var recorded = Raw.ToList();
            var scenario = VeloScenario.ToScenario(keepSecrets: true);
            Assert.AreEqual(12, recorded.Count, "6 answers and 6 results fired by hand");
            CollectionAssert.AllItemsAreNotNull(returned);

            VeloStandIn.Reset();
            VeloStandIn.SetManualClock(true);
            Raw.Clear();
            Assert.IsTrue(VeloStandIn.PlayScenario(scenario), VeloStandIn.LastError);
            VeloScenario.StartRecording();
            Assert.AreEqual(returned, Session(false));
            Assert.AreEqual(recorded, Raw, "the same texts, in the same order");
            Assert.AreEqual(scenario, VeloScenario.ToScenario(keepSecrets: true),
                            "the same requests, results and delays");
            CollectionAssert.IsEmpty(Failures);
        }

        [Test]
        public void SecretsAreMaskedInTheScenarioUnlessKeptAndGamesAddTheirOwn()
        {
            VeloStandIn.SetAnswering(true);
            VeloScenario.StartRecording();
            VeloLogin.LoginWithConfirmCode(4711, "Mail", "pw-secret");
            Advance(20);
            Assert.IsTrue(VeloLogin.TryGetLoginRet(out var login));
            VeloScenario.Secrets.Add("VeloLogin.LoginWithConfirmCode#3");

            var masked = VeloScenario.ToScenario();
            var rules = (JArray)JObject.Parse(masked)["rules"];
            Assert.AreEqual("[null,\"Mail\",null]",
                            rules[0]["args"].ToString(Newtonsoft.Json.Formatting.None));
            var record = rules[0]["answer"][0]["record"];
            var snapshot = rules[1]["returns"];
            Assert.AreEqual(new[] { VeloScenario.Masked, VeloScenario.Masked, login.UserName },
                            new[] { (string)record["token"], (string)record["pfKey"],
                                    (string)record["user_name"] });
            Assert.AreEqual(VeloScenario.Masked, (string)snapshot["token"]);
            StringAssert.DoesNotContain(login.Token, masked);

            var kept = JObject.Parse(VeloScenario.ToScenario(keepSecrets: true));
            Assert.AreEqual("[4711,\"Mail\",\"pw-secret\"]",
                            kept["rules"][0]["args"].ToString(Newtonsoft.Json.Formatting.None));
            Assert.AreEqual(login.Token, (string)kept["rules"][0]["answer"][0]["record"]["token"]);

            // A masked scenario plays; its masked arguments match any value.
            Assert.IsTrue(VeloStandIn.PlayScenario(masked), VeloStandIn.LastError);
            Typed.Clear();
            VeloLogin.LoginWithConfirmCode(1, "Mail", "another");
            Advance(20);
            Assert.AreEqual(VeloScenario.Masked, ((LoginResult)Typed.Single()).Token);
        }

        [Test]
        public void ABadScenarioFileIsRefusedWithItsPlaceAndThePreviousOnePlaysOn()
        {
            Assert.IsTrue(VeloStandIn.PlayScenario(
                "{\"scenario\":1,\"rules\":[{\"operation\":\"VeloLogin.AutoLogin\"," +
                "\"answer\":[{\"kind\":\"base\",\"record\":{\"methodNameID\":7}}]}]}"));
            var path = Path.Combine(Path.GetTempPath(), "velo-truncated-scenario.json");
            File.WriteAllText(path,
                              "{\"scenario\": 1,\n \"rules\": [{\"operation\": \"VeloLogin.Au");
            Assert.IsFalse(VeloStandIn.PlayScenarioFile(path));
            Assert.AreEqual(Path.GetFullPath(path) +
                                ":2:39: not JSON: Missing a closing quotation mark in string.",
                            VeloStandIn.LastError);
            File.Delete(path);
            VeloLogin.AutoLogin();
            Advance(0);
            Assert.AreEqual(new[] { 7 }, Typed.Select(r => r.MethodNameID));
        }
    }
}
