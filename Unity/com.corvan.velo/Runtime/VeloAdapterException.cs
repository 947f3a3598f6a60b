using System;

namespace Corvan.Velo.Unity
{
    /// <summary>Why the binding raised a <see cref="VeloAdapterException"/>.</summary>
    public enum VeloErrorReason
    {
        /// <summary>The adapter's library, VeloUnityAdapter, could not be loaded.</summary>
        LibraryMissing,

        /// <summary>The adapter's library is there, but the core library it needs, VeloCore, is
        /// not (a player build without the real core).</summary>
        CoreMissing,

        /// <summary>The adapter's library lacks functions this package calls: it is older than the
        /// package (same version, as a build from other sources).</summary>
        LibraryOutdated,

        /// <summary>A result text or the login snapshot could not be read; the exception's
        /// <see cref="Exception.InnerException"/> says where.</summary>
        ResultUnreadable,

        /// <summary>A handler of a result (or of <see cref="ResultDispatcher.DispatchFailed"/>)
        /// threw; the exception's <see cref="Exception.InnerException"/> is what it threw.
        /// </summary>
        HandlerFailed,

        /// <summary>The package has no native library for the platform the game runs on: it
        /// has them for Windows and Linux on x86-64, in the editor and in players. The message
        /// names the platform.</summary>
        PlatformUnsupported,

        /// <summary>A library the adapter or the core needs, other than the core, is missing or
        /// lacks what they import: the Visual C++ runtime on Windows above all, or a library of
        /// the core's own. The message names it and what needs it.</summary>
        DependencyMissing,

        /// <summary>The core library is there but lacks functions the adapter imports (another
        /// release of the core than the adapter was built against), or cannot be loaded at all;
        /// the message names each function as its C++ declaration.</summary>
        CoreIncompatible,

        /// <summary>The adapter's library loaded in the process is not of this package's version:
        /// the editor keeps native plugins loaded until it restarts, so after an update the old
        /// one is still there.</summary>
        LibraryVersionMismatch,
    }

    /// <summary>The native adapter could not be used or a result could not be delivered; the
    /// <see cref="Reason"/> tells which. Misuse, such as a request before
    /// <see cref="VeloAdapter.Initialize"/>, is an <see cref="InvalidOperationException"/>
    /// instead.</summary>
    public sealed class VeloAdapterException : Exception
    {
        internal VeloAdapterException(VeloErrorReason reason, string message,
                                      Exception inner = null)
            : base(message, inner)
        {
            Reason = reason;
        }

        /// <summary>What went wrong.</summary>
        public VeloErrorReason Reason { get; }

        /// <summary>Thrown by <see cref="ResultDispatcher.DispatchPending()"/> (or one of its
        /// bounded overloads): how many results that call dispatched, the count it would have
        /// returned. 0 when thrown elsewhere.</summary>
        public int DispatchedCount { get; internal set; }
    }
}
