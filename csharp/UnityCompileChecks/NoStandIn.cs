// A player's runtime has no control of the stand-in core: were VeloStandIn compiled into it, this
// second declaration would fail the build (CS0101).
namespace Corvan.Velo.Unity
{
    internal static class VeloStandIn
    {
    }
}
