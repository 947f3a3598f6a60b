using System.Collections.Generic;
using System.Text;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// What <see cref="VeloAdapter.Diagnose"/> found out about the native libraries: whether the
    /// binding can use them and, if not, why (<see cref="Reason"/>) and what to do
    /// (<see cref="Message"/>, with the loader's own words); and each library it looked at. Its
    /// <see cref="ToString"/> is the whole report, for a log or a game's support screen.
    /// </summary>
    public sealed class NativeLibraryReport
    {
        internal NativeLibraryReport(VeloErrorReason? reason, string message,
                                     List<NativeLibraryStatus> libraries)
        {
            Reason = reason;
            Message = message;
            Libraries = libraries.AsReadOnly();
        }

        /// <summary>Why <see cref="VeloAdapter.Initialize"/> fails with these libraries, the
        /// <see cref="VeloAdapterException.Reason"/> it throws; null when it succeeds.</summary>
        public VeloErrorReason? Reason { get; }

        /// <summary>Whether the binding can use the libraries.</summary>
        public bool IsUsable => Reason == null;

        /// <summary>What is wrong and how to mend it, naming the libraries and functions
        /// concerned and quoting the loader; or that nothing is.</summary>
        public string Message { get; }

        /// <summary>The adapter, the core and any other library found wanting, in the order in
        /// which they were looked at.</summary>
        public IReadOnlyList<NativeLibraryStatus> Libraries { get; }

        /// <summary>The report as text: the outcome, then one paragraph per library.</summary>
        public override string ToString()
        {
            var text = new StringBuilder();
            text.Append("Corvan Velo ").Append(VeloAdapter.Version).Append(" native libraries: ")
                .Append(Reason.HasValue ? Reason.Value.ToString() : "usable").Append('\n')
                .Append(Message).Append('\n');
            foreach (var library in Libraries)
            {
                library.AppendTo(text);
            }
            return text.ToString();
        }
    }

    /// <summary>One native library as <see cref="VeloAdapter.Diagnose"/> found it.</summary>
    public sealed class NativeLibraryStatus
    {
        internal readonly List<string> searchedIn = new List<string>();
        internal readonly List<string> neededBy = new List<string>();
        internal readonly List<string> lacks = new List<string>();

        internal NativeLibraryStatus(string name, string fileName)
        {
            Name = name;
            FileName = fileName;
        }

        /// <summary>What the library is: "VeloUnityAdapter", "VeloCore", or the file name of a
        /// library one of them needs.</summary>
        public string Name { get; }

        /// <summary>Its file name on this platform ("libVeloCore.so", "VeloCore.dll").</summary>
        public string FileName { get; }

        /// <summary>Where it was looked for, in order: folders, and "the system's library search
        /// path" for the loader's own search.</summary>
        public IReadOnlyList<string> SearchedIn => searchedIn.AsReadOnly();

        /// <summary>Where it was found (the file the process has loaded, if loaded); null when it
        /// was not, or only by the loader's own search, which does not tell where.</summary>
        public string Path { get; internal set; }

        /// <summary>Whether it was found.</summary>
        public bool Found { get; internal set; }

        /// <summary>Whether it could be loaded (or was already loaded).</summary>
        public bool Loaded { get; internal set; }

        /// <summary>The version it carries, null when none: the adapter's read from the library
        /// loaded, where it is (the editor keeps an old one loaded until it restarts), any
        /// other's from its file.</summary>
        public string Version { get; internal set; }

        /// <summary>The loader's words when it could not be loaded; null otherwise.</summary>
        public string LoaderError { get; internal set; }

        /// <summary>The libraries that need it (none for the adapter).</summary>
        public IReadOnlyList<string> NeededBy => neededBy.AsReadOnly();

        /// <summary>What it lacks that is asked of it: the adapter's functions this package
        /// calls; the core's functions the adapter imports, each as its C++ declaration followed
        /// by the name it is linked by.</summary>
        public IReadOnlyList<string> Lacks => lacks.AsReadOnly();

        internal void AppendTo(StringBuilder text)
        {
            text.Append("- ").Append(Name).Append(Name == FileName ? "" : " (" + FileName + ")")
                .Append(": ")
                .Append(!Found ? "not found" : Path != null ? "found at " + Path
                                                            : "found by " + NativePlatform.SystemSearch)
                .Append(Loaded ? ", loaded" : Found ? ", not loaded" : "")
                .Append(Found ? ", version " + (Version ?? "unknown") : "").Append('\n');
            if (searchedIn.Count > 0)
            {
                text.Append("    looked for in: ").Append(string.Join("; ", searchedIn.ToArray()))
                    .Append('\n');
            }
            if (neededBy.Count > 0)
            {
                text.Append("    needed by: ").Append(string.Join(", ", neededBy.ToArray()))
                    .Append('\n');
            }
            if (LoaderError != null)
            {
                text.Append("    the loader: ").Append(LoaderError).Append('\n');
            }
            foreach (var lack in lacks)
            {
                text.Append("    lacks: ").Append(lack).Append('\n');
            }
        }
    }
}
