using System;
using static Corvan.Velo.Unity.VeloAdapter;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The core's settings (<c>VeloTools</c>): language and region. Each request needs
    /// <see cref="VeloAdapter.Initialize"/> first (else it throws an
    /// <see cref="InvalidOperationException"/>). Unlike the other services' texts, these reach
    /// the core as C texts: a null text stays null. There is no result.
    /// </summary>
    public static class VeloTools
    {
        /// <summary><c>VeloTools::SetLanguage(language)</c>: one text.</summary>
        /// <param name="language">The language, position 1.</param>
        public static void SetLanguage(string language)
        {
            RequireInitialized();
            VeloScenario.Request("VeloTools.SetLanguage", language);
            NativeMethods.setLanguageAdapter(T(language, nameof(language)));
        }

        /// <summary><c>VeloTools::SetRegion(a, b, c)</c>: three texts.</summary>
        /// <param name="a">Text, position 1.</param>
        /// <param name="b">Text, position 2.</param>
        /// <param name="c">Text, position 3.</param>
        public static void SetRegion(string a, string b, string c)
        {
            RequireInitialized();
            VeloScenario.Request("VeloTools.SetRegion", a, b, c);
            NativeMethods.setRegionAdapter(T(a, nameof(a)), T(b, nameof(b)), T(c, nameof(c)));
        }
    }
}
