using System;
using static Corvan.Velo.Unity.VeloAdapter;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The core's account service (<c>VeloAccount</c>): its requests, with the parameters in the
    /// core's positions, and the event of the results its observer reports. Every request needs
    /// <see cref="VeloAdapter.Initialize"/> first (else it throws an
    /// <see cref="InvalidOperationException"/>), returns at once and sends a null text as an
    /// empty one; its result arrives later, on the dispatching thread.
    /// </summary>
    public static class VeloAccount
    {
        /// <summary>An account result: the answer to every account request.</summary>
        public static event Action<AccountResult> AccountResultReceived
        {
            add => ResultDispatcher.Account.Add(value);
            remove => ResultDispatcher.Account.Remove(value);
        }

        /// <summary><c>VeloAccount::RequestVerifyCode(s1, s2, i3, i4, s5, s6, s7)</c>: two texts,
        /// two integers, three texts. Answered by <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="i3">Integer, position 3.</param>
        /// <param name="i4">Integer, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="s6">Text, position 6.</param>
        /// <param name="s7">Text, position 7.</param>
        public static void RequestVerifyCode(string s1, string s2, int i3, int i4, string s5,
                                             string s6, string s7)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.RequestVerifyCode", s1, s2, i3, i4, s5, s6, s7);
            NativeMethods.requestVerifyCodeAdapter(T(s1, nameof(s1)), T(s2, nameof(s2)), i3, i4,
                                                   T(s5, nameof(s5)), T(s6, nameof(s6)),
                                                   T(s7, nameof(s7)));
        }

        /// <summary><c>VeloAccount::ResetPassword(s1, i2, s3, s4, s5, i6, i7, s8, s9, s10)</c>: one
        /// text, an integer, three texts, two integers, three texts. Answered by
        /// <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="i2">Integer, position 2.</param>
        /// <param name="s3">Text, position 3.</param>
        /// <param name="s4">Text, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="i6">Integer, position 6.</param>
        /// <param name="i7">Integer, position 7.</param>
        /// <param name="s8">Text, position 8.</param>
        /// <param name="s9">Text, position 9.</param>
        /// <param name="s10">Text, position 10.</param>
        public static void ResetPassword(string s1, int i2, string s3, string s4, string s5, int i6,
                                         int i7, string s8, string s9, string s10)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.ResetPassword", s1, i2, s3, s4, s5, i6, i7, s8, s9,
                                 s10);
            NativeMethods.resetPasswordAdapter(
                T(s1, nameof(s1)), i2, T(s3, nameof(s3)), T(s4, nameof(s4)), T(s5, nameof(s5)), i6,
                i7, T(s8, nameof(s8)), T(s9, nameof(s9)), T(s10, nameof(s10)));
        }

        /// <summary><c>VeloAccount::Modify(s1, i2, s3, i4, i5, i6, s7, s8, i9, s10, s11, s12,
        /// s13)</c>: one text, an integer, one text, three integers, two texts, an integer, four
        /// texts. Answered by <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="i2">Integer, position 2.</param>
        /// <param name="s3">Text, position 3.</param>
        /// <param name="i4">Integer, position 4.</param>
        /// <param name="i5">Integer, position 5.</param>
        /// <param name="i6">Integer, position 6.</param>
        /// <param name="s7">Text, position 7.</param>
        /// <param name="s8">Text, position 8.</param>
        /// <param name="i9">Integer, position 9.</param>
        /// <param name="s10">Text, position 10.</param>
        /// <param name="s11">Text, position 11.</param>
        /// <param name="s12">Text, position 12.</param>
        /// <param name="s13">Text, position 13.</param>
        public static void Modify(string s1, int i2, string s3, int i4, int i5, int i6, string s7,
                                  string s8, int i9, string s10, string s11, string s12, string s13)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.Modify", s1, i2, s3, i4, i5, i6, s7, s8, i9, s10, s11,
                                 s12, s13);
            NativeMethods.modifyAdapter(T(s1, nameof(s1)), i2, T(s3, nameof(s3)), i4, i5, i6,
                                        T(s7, nameof(s7)), T(s8, nameof(s8)), i9,
                                        T(s10, nameof(s10)), T(s11, nameof(s11)),
                                        T(s12, nameof(s12)), T(s13, nameof(s13)));
        }

        /// <summary><c>VeloAccount::GetRegisterStatus(s1, s2, i3, s4, s5, s6)</c>: two texts, an
        /// integer, three texts. Answered by <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="i3">Integer, position 3.</param>
        /// <param name="s4">Text, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="s6">Text, position 6.</param>
        public static void GetRegisterStatus(string s1, string s2, int i3, string s4, string s5,
                                             string s6)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.GetRegisterStatus", s1, s2, i3, s4, s5, s6);
            NativeMethods.getRegisterStatusAdapter(T(s1, nameof(s1)), T(s2, nameof(s2)), i3,
                                                   T(s4, nameof(s4)), T(s5, nameof(s5)),
                                                   T(s6, nameof(s6)));
        }

        /// <summary><c>VeloAccount::GetVerifyCodeStatus(s1, s2, i3, i4, i5, s6, s7, s8)</c>: two
        /// texts, three integers, three texts. Answered by
        /// <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="i3">Integer, position 3.</param>
        /// <param name="i4">Integer, position 4.</param>
        /// <param name="i5">Integer, position 5.</param>
        /// <param name="s6">Text, position 6.</param>
        /// <param name="s7">Text, position 7.</param>
        /// <param name="s8">Text, position 8.</param>
        public static void GetVerifyCodeStatus(string s1, string s2, int i3, int i4, int i5,
                                               string s6, string s7, string s8)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.GetVerifyCodeStatus", s1, s2, i3, i4, i5, s6, s7, s8);
            NativeMethods.getVerifyCodeStatusAdapter(T(s1, nameof(s1)), T(s2, nameof(s2)), i3, i4,
                                                     i5, T(s6, nameof(s6)), T(s7, nameof(s7)),
                                                     T(s8, nameof(s8)));
        }

        /// <summary><c>VeloAccount::GetReceiveEmail(s1, s2, i3, s4, s5, s6)</c>: two texts, an
        /// integer, three texts. Answered by <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="i3">Integer, position 3.</param>
        /// <param name="s4">Text, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="s6">Text, position 6.</param>
        public static void GetReceiveEmail(string s1, string s2, int i3, string s4, string s5,
                                           string s6)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.GetReceiveEmail", s1, s2, i3, s4, s5, s6);
            NativeMethods.getReceiveEmailAdapter(T(s1, nameof(s1)), T(s2, nameof(s2)), i3,
                                                 T(s4, nameof(s4)), T(s5, nameof(s5)),
                                                 T(s6, nameof(s6)));
        }

        /// <summary><c>VeloAccount::VerifyPassword(s1, s2, s3, i4, s5, s6, s7)</c>: three texts, an
        /// integer, three texts. Answered by <see cref="AccountResultReceived"/>.</summary>
        /// <param name="s1">Text, position 1.</param>
        /// <param name="s2">Text, position 2.</param>
        /// <param name="s3">Text, position 3.</param>
        /// <param name="i4">Integer, position 4.</param>
        /// <param name="s5">Text, position 5.</param>
        /// <param name="s6">Text, position 6.</param>
        /// <param name="s7">Text, position 7.</param>
        public static void VerifyPassword(string s1, string s2, string s3, int i4, string s5,
                                          string s6, string s7)
        {
            RequireInitialized();
            VeloScenario.Request("VeloAccount.VerifyPassword", s1, s2, s3, i4, s5, s6, s7);
            NativeMethods.verifyPasswordAdapter(T(s1, nameof(s1)), T(s2, nameof(s2)),
                                                T(s3, nameof(s3)), i4, T(s5, nameof(s5)),
                                                T(s6, nameof(s6)), T(s7, nameof(s7)));
        }
    }
}
