// A player's runtime holds nothing of the editor assembly: were any of its classes compiled into
// it, these second declarations would fail the build (CS0101).
namespace Corvan.Velo.Unity.Editor
{
    internal static class PlayModeSession
    {
    }

    internal sealed class SessionConsole
    {
    }

    internal sealed class VeloProjectSettings
    {
    }

    internal sealed class VeloSessionWindow
    {
    }

    internal sealed class VeloSettingsProvider
    {
    }
}
