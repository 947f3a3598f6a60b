using System;
using static Corvan.Velo.Unity.VeloAdapter;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The core's login service (<c>VeloLogin</c>): its requests, with the parameters in the
    /// core's positions, and the events of the results its observer reports. Every request needs
    /// <see cref="VeloAdapter.Initialize"/> first (else it throws an
    /// <see cref="InvalidOperationException"/>), returns at once and sends a null text as an
    /// empty one; its result arrives later, on the dispatching thread.
    /// </summary>
    public static class VeloLogin
    {
        /// <summary>A login result (the login members after the common ones): the answer to
        /// <see cref="Login"/>, <see cref="AutoLogin"/>, <see cref="Bind"/> and
        /// <see cref="LoginWithConfirmCode"/>.</summary>
        public static event Action<LoginResult> LoginResultReceived
        {
            add => ResultDispatcher.Login.Add(value);
            remove => ResultDispatcher.Login.Remove(value);
        }

        /// <summary>A result of the envelope kind: the common members alone (the core's base
        /// result), the answer to <see cref="Logout"/>, <see cref="CanBind"/> and the other
        /// login requests without a login. Not every result: that is
        /// <see cref="ResultDispatcher.ResultReceived"/>.</summary>
        public static event Action<BaseResult> EnvelopeResultReceived
        {
            add => ResultDispatcher.Envelope.Add(value);
            remove => ResultDispatcher.Envelope.Remove(value);
        }

        /// <summary>A result carrying a QR code address.</summary>
        public static event Action<QrCodeResult> QrCodeResultReceived
        {
            add => ResultDispatcher.QrCode.Add(value);
            remove => ResultDispatcher.QrCode.Remove(value);
        }

        /// <summary><c>VeloLogin::Login(a, b, c, d)</c>: four texts. Answered by
        /// <see cref="LoginResultReceived"/>.</summary>
        /// <param name="a">Text, position 1.</param>
        /// <param name="b">Text, position 2.</param>
        /// <param name="c">Text, position 3.</param>
        /// <param name="d">Text, position 4.</param>
        public static void Login(string a, string b, string c, string d)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.Login", a, b, c, d);
            NativeMethods.loginAdapter(T(a, nameof(a)), T(b, nameof(b)), T(c, nameof(c)),
                                       T(d, nameof(d)));
        }

        /// <summary><c>VeloLogin::AutoLogin()</c>. Answered by
        /// <see cref="LoginResultReceived"/>.</summary>
        public static void AutoLogin()
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.AutoLogin");
            NativeMethods.autoLoginAdapter();
        }

        /// <summary><c>VeloLogin::Logout(a, b, flag)</c>: two texts, then a flag. Answered by
        /// <see cref="EnvelopeResultReceived"/>.</summary>
        /// <param name="a">Text, position 1.</param>
        /// <param name="b">Text, position 2.</param>
        /// <param name="flag">Flag, position 3.</param>
        public static void Logout(string a, string b, bool flag)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.Logout", a, b, flag);
            NativeMethods.logoutAdapter(T(a, nameof(a)), T(b, nameof(b)), flag);
        }

        /// <summary><c>VeloLogin::Bind(a, b, c, d)</c>: four texts. Answered by
        /// <see cref="LoginResultReceived"/>.</summary>
        /// <param name="a">Text, position 1.</param>
        /// <param name="b">Text, position 2.</param>
        /// <param name="c">Text, position 3.</param>
        /// <param name="d">Text, position 4.</param>
        public static void Bind(string a, string b, string c, string d)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.Bind", a, b, c, d);
            NativeMethods.bindAdapter(T(a, nameof(a)), T(b, nameof(b)), T(c, nameof(c)),
                                      T(d, nameof(d)));
        }

        /// <summary><c>VeloLogin::CanBind(a, b, c)</c>: three texts. Answered by
        /// <see cref="EnvelopeResultReceived"/>.</summary>
        /// <param name="a">Text, position 1.</param>
        /// <param name="b">Text, position 2.</param>
        /// <param name="c">Text, position 3.</param>
        public static void CanBind(string a, string b, string c)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.CanBind", a, b, c);
            NativeMethods.canBindAdapter(T(a, nameof(a)), T(b, nameof(b)), T(c, nameof(c)));
        }

        /// <summary><c>VeloLogin::LoginWithConfirmCode(code, a, b)</c>: an integer, then two
        /// texts. Answered by <see cref="LoginResultReceived"/>.</summary>
        /// <param name="code">The confirmation code, position 1.</param>
        /// <param name="a">Text, position 2.</param>
        /// <param name="b">Text, position 3.</param>
        public static void LoginWithConfirmCode(int code, string a, string b)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.LoginWithConfirmCode", code, a, b);
            NativeMethods.loginWithConfirmcodeAdapter(code, T(a, nameof(a)), T(b, nameof(b)));
        }

        /// <summary><c>VeloLogin::PreLoadParleyLibrary()</c>. Answered by
        /// <see cref="EnvelopeResultReceived"/>.</summary>
        public static void PreLoadParleyLibrary()
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.PreLoadParleyLibrary");
            NativeMethods.preLoadParleyLibraryAdapter();
        }

        /// <summary><c>VeloLogin::SetInstallChannel(channel)</c>: one text. Answered by
        /// <see cref="EnvelopeResultReceived"/>.</summary>
        /// <param name="channel">The install channel, position 1.</param>
        public static void SetInstallChannel(string channel)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.SetInstallChannel", channel);
            NativeMethods.setInstallChannelAdapter(T(channel, nameof(channel)));
        }

        /// <summary><c>VeloLogin::OnRealNameAuthFinished(a, b, c, flag)</c>: three texts, then
        /// a flag. Answered by <see cref="EnvelopeResultReceived"/>.</summary>
        /// <param name="a">Text, position 1.</param>
        /// <param name="b">Text, position 2.</param>
        /// <param name="c">Text, position 3.</param>
        /// <param name="flag">Flag, position 4.</param>
        public static void OnRealNameAuthFinished(string a, string b, string c, bool flag)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.OnRealNameAuthFinished", a, b, c, flag);
            NativeMethods.onRealNameAuthFinishedAdapter(T(a, nameof(a)), T(b, nameof(b)),
                                                        T(c, nameof(c)), flag);
        }

        /// <summary><c>VeloLogin::UnInstall()</c>. Answered by
        /// <see cref="EnvelopeResultReceived"/>.</summary>
        public static void UnInstall()
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.UnInstall");
            NativeMethods.unInstallAdapter();
        }

        /// <summary><c>VeloLogin::GetLoginRet</c>, answered at once: the core's current login
        /// (the login members; the common ones stay unset). False, with
        /// <paramref name="login"/> null, when the core holds no login: before any login and
        /// after a logout its record holds only defaults (empty texts, zeros, false), which is
        /// how this tells, since the adapter passes on the record and not whether the core had
        /// one. Also false when the adapter could give no snapshot (it ran out of memory).
        /// </summary>
        /// <param name="login">The login snapshot, when there is one.</param>
        /// <exception cref="VeloAdapterException">The snapshot could not be read
        /// (<see cref="VeloErrorReason.ResultUnreadable"/>).</exception>
        public static bool TryGetLoginRet(out LoginResult login)
        {
            RequireInitialized();
            VeloScenario.Request("VeloLogin.GetLoginRet");
            login = TakeText(NativeMethods.getLoginRetAdapter(), ReadLogin);
            return login != null;
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
                throw new VeloAdapterException(VeloErrorReason.ResultUnreadable,
                                               "The login snapshot could not be read: " + e.Message,
                                               e);
            }
        }
    }
}
