using System.Collections.Generic;
using System.Text;

namespace Corvan.Velo.Unity
{
    /// <summary>What the diagnosis tells a studio for each reason: the libraries and functions
    /// concerned, where they were looked for, the loader's own words, and the fix.</summary>
    internal static class NativeLibraryMessages
    {
        private static string Where(NativeLibraryStatus library)
        {
            return library.Path ?? library.FileName;
        }

        private static string LookedIn(NativeLibraryStatus library)
        {
            return " Looked for " + library.FileName + " in: " +
                   string.Join("; ", new List<string>(library.SearchedIn).ToArray()) + ".";
        }

        // The loader's own words, as a sentence of their own.
        private static string Loader(NativeLibraryStatus library)
        {
            var words = library.LoaderError;
            return words == null ? ""
                   : " The loader says: \"" + words.TrimEnd('.') + "\".";
        }

        internal static string AdapterMissing(NativeLibraryStatus adapter)
        {
            return "The native library '" + NativeMethods.Library + "' is not there. It belongs " +
                   "in Plugins/x86_64 of the Corvan Velo package: VeloUnityAdapter.dll on " +
                   "Windows, libVeloUnityAdapter.so on Linux, each beside the core library it " +
                   "loads." + LookedIn(adapter) + Loader(adapter);
        }

        internal static string AdapterUnloadable(NativeLibraryStatus adapter)
        {
            return "The native library '" + NativeMethods.Library + "' at " + Where(adapter) +
                   " could not be loaded." + Loader(adapter) +
                   " Replace it with the one of the Corvan Velo package.";
        }

        internal static string AdapterNotFoundByRuntime(NativeLibraryStatus adapter,
                                                        string runtimeError)
        {
            return "The native library '" + NativeMethods.Library + "' at " + Where(adapter) +
                   " loads, but not where the runtime looks for it: keep it in Plugins/x86_64 " +
                   "of the Corvan Velo package. The runtime: " + runtimeError;
        }

        internal static string CoreMissing(NativeLibraryStatus core)
        {
            return "The native library '" + NativeMethods.Library + "' could not be loaded: the " +
                   "core library it needs, VeloCore (" + core.FileName + "), is missing. The " +
                   "VeloCore in the Corvan Velo package is a stand-in for the editor and is " +
                   "left out of player builds. Add the real core's library to your project " +
                   "(VeloCore.dll for Windows x86-64, libVeloCore.so for Linux x86-64), for " +
                   "example in Assets/Plugins/x86_64, with its import settings enabled for that " +
                   "player platform; the package README says how." + LookedIn(core) + Loader(core);
        }

        internal static string DependencyMissing(NativeLibraryStatus library, bool cppRuntime)
        {
            var text = new StringBuilder("The library ").Append(library.FileName).Append(", which ")
                           .Append(string.Join(" and ", new List<string>(library.NeededBy).ToArray()))
                           .Append(library.NeededBy.Count == 1 ? " needs, " : " need, ");
            if (library.Lacks.Count > 0)
            {
                text.Append("lacks ")
                    .Append(string.Join(", ", new List<string>(library.Lacks).ToArray()))
                    .Append(": it is older than they need.");
            }
            else
            {
                text.Append(library.Found ? "could not be loaded." : "is missing.");
            }
            text.Append(Loader(library));
            text.Append(cppRuntime
                            ? " Install the Visual C++ 2015\u20132022 x64 runtime: ship Microsoft's " +
                                  "VC_redist.x64.exe with the game (its installer runs it), or " +
                                  "msvcp140.dll, vcruntime140.dll and the UCRT beside the game's " +
                                  "executable."
                            : " Put it where the library that needs it finds it: beside it (for " +
                                  "a library of the core, beside the core in the player's " +
                                  "Plugins folder) or on the system's library search path.");
            if (library.SearchedIn.Count > 0 && !library.Found)
            {
                text.Append(LookedIn(library));
            }
            return text.ToString();
        }

        internal static string CoreIncompatible(NativeLibraryStatus core, NativeLibraryStatus adapter)
        {
            if (core.Lacks.Count == 0)
            {
                return "The core library VeloCore at " + Where(core) + " could not be loaded." +
                       Loader(core) + " Use a core library built for this platform.";
            }
            var text = new StringBuilder("The core library VeloCore at ").Append(Where(core))
                           .Append(" lacks ").Append(core.Lacks.Count)
                           .Append(core.Lacks.Count == 1 ? " function" : " functions")
                           .Append(" that the adapter imports:");
            foreach (var lack in core.Lacks)
            {
                text.Append("\n  ").Append(lack);
            }
            return text.Append("\nIt is another release of the core than the one the adapter " +
                               "was built against. Use that release, or build the adapter " +
                               "against this core's header (the repository's " +
                               "tools/check-core.py names each difference and its likely " +
                               "cause).")
                .Append(Loader(adapter))
                .ToString();
        }

        internal static string VersionMismatch(NativeLibraryStatus adapter)
        {
            return "The loaded native library '" + NativeMethods.Library + "' (" + Where(adapter) +
                   ") is " + (adapter.Version == null ? "of no known version"
                                                      : "version " + adapter.Version) +
                   ", not this package's " + VeloAdapter.PackageVersion + ". The editor keeps " +
                   "native plugins loaded until it quits: after updating the package, restart " +
                   "the editor. In a player, replace the library with the package's.";
        }

        internal static string Outdated(NativeLibraryStatus adapter)
        {
            return "The native library '" + NativeMethods.Library + "' lacks the function(s) " +
                   string.Join(", ", new List<string>(adapter.Lacks).ToArray()) +
                   ": it is older than this package.";
        }

        internal static string Usable(NativeLibraryStatus adapter, NativeLibraryStatus core)
        {
            return adapter.Name + " " + (adapter.Version ?? "") + " and " + core.Name +
                   " are loaded, and the adapter has every function this package calls.";
        }
    }
}
