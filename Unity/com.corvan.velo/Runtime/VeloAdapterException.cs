using System;

namespace Corvan.Velo.Unity
{
    /// <summary>The native adapter could not be used: its library or one of its functions is
    /// missing, or it has not been initialised.</summary>
    public sealed class VeloAdapterException : Exception
    {
        public VeloAdapterException(string message) : base(message)
        {
        }

        public VeloAdapterException(string message, Exception inner) : base(message, inner)
        {
        }
    }
}
