using System;
using System.Collections.Generic;
using System.IO;
using UnityEngine;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Finds out whether the binding can use the native libraries and, if not, why: the adapter
    /// missing; a library it or the core needs missing (the core, the C++ runtime or any other),
    /// found by walking the libraries each one needs; the core lacking functions the adapter
    /// imports, each asked of the core by name and shown as its C++ declaration; the adapter of
    /// another version than this package, or lacking functions the package calls. Loads nothing
    /// that it does not release, and never throws.
    /// </summary>
    internal sealed class NativeLibraryDiagnosis
    {
        internal const string CoreName = "VeloCore";

        private const int MostNested = 4; // the adapter, the core, their libraries and theirs

        private readonly NativePlatform platform;
        private readonly Dictionary<string, NativeLibraryStatus> byFile;
        private readonly Dictionary<NativeLibraryStatus, IntPtr> handles =
            new Dictionary<NativeLibraryStatus, IntPtr>();
        // The libraries whose failure explains another's, by the library they explain.
        private readonly Dictionary<NativeLibraryStatus, List<NativeLibraryStatus>> causes =
            new Dictionary<NativeLibraryStatus, List<NativeLibraryStatus>>();
        private readonly NativeLibraryStatus adapter;
        private readonly NativeLibraryStatus core;

        private NativeLibraryDiagnosis(NativePlatform platform)
        {
            this.platform = platform;
            byFile = new Dictionary<string, NativeLibraryStatus>(
                platform.IgnoresCase ? StringComparer.OrdinalIgnoreCase : StringComparer.Ordinal);
            adapter = Status(NativeMethods.Library, platform.FileName(NativeMethods.Library));
            core = Status(CoreName, platform.FileName(CoreName));
        }

        /// <summary>The report on the native libraries of this process.</summary>
        internal static NativeLibraryReport Run()
        {
            var unsupported = NativeLibraryCheck.UnsupportedPlatform();
            var platform = NativePlatform.Current;
            if (unsupported != null || platform == null)
            {
                return new NativeLibraryReport(
                    VeloErrorReason.PlatformUnsupported,
                    unsupported ?? "The Corvan Velo package has native libraries for Windows " +
                                       "x86-64 and Linux x86-64 only, not for " +
                                       RuntimeDescription() + ".",
                    new List<NativeLibraryStatus>());
            }
            var diagnosis = new NativeLibraryDiagnosis(platform);
            try
            {
                return diagnosis.Examine();
            }
            catch (Exception e)
            {
                // A fault of the diagnosis itself must not hide what the runtime said.
                var reason = diagnosis.adapter.Loaded ? (VeloErrorReason?)null
                                                      : VeloErrorReason.LibraryMissing;
                return new NativeLibraryReport(
                    reason, "The native libraries could not be examined: " + e, diagnosis.Listed());
            }
            finally
            {
                foreach (var library in diagnosis.handles.Values)
                {
                    platform.Release(library);
                }
            }
        }

        private static string RuntimeDescription()
        {
            return System.Runtime.InteropServices.RuntimeInformation.OSDescription + " (" +
                   System.Runtime.InteropServices.RuntimeInformation.ProcessArchitecture + ")";
        }

        private NativeLibraryStatus Status(string name, string fileName)
        {
            NativeLibraryStatus status;
            if (!byFile.TryGetValue(fileName, out status))
            {
                status = new NativeLibraryStatus(name, fileName);
                byFile.Add(fileName, status);
            }
            return status;
        }

        private NativeLibraryReport Examine()
        {
            core.neededBy.Add(adapter.Name);
            var runtimeError = RuntimeLoad();
            if (runtimeError == null)
            {
                ExamineLoaded();
            }
            else
            {
                var folders = CandidateFolders();
                adapter.searchedIn.AddRange(folders);
                adapter.searchedIn.Add(NativePlatform.SystemSearch);
                LoadAndExplain(adapter, Locate(adapter.FileName, folders), 0);
            }
            return Verdict(runtimeError);
        }

        /// <summary>Has the runtime load the adapter, as every call does: null when it did, else
        /// the runtime's words.</summary>
        private static string RuntimeLoad()
        {
            try
            {
                NativeMethods.releaseTextAdapter(IntPtr.Zero); // null is a no-op: this only loads
                return null;
            }
            catch (EntryPointNotFoundException)
            {
                return null; // loaded; what it lacks is found below
            }
            catch (DllNotFoundException e)
            {
                return e.Message;
            }
            catch (BadImageFormatException e)
            {
                return e.Message;
            }
        }

        // The adapter is loaded, and with it the core: which files, of which version, and does
        // the adapter have every function the binding declares?
        private void ExamineLoaded()
        {
            foreach (var status in new[] { adapter, core })
            {
                var library = platform.FindLoaded(status.FileName);
                status.Loaded = status.Found = true;
                if (library != IntPtr.Zero)
                {
                    handles[status] = library;
                    status.Path = platform.PathOf(library);
                    status.Version = Version(status, library);
                }
            }
            IntPtr loaded;
            if (!handles.TryGetValue(adapter, out loaded))
            {
                return;
            }
            foreach (var name in NativeLibraryCheck.EntryPoints)
            {
                if (platform.Symbol(loaded, name) == IntPtr.Zero)
                {
                    adapter.lacks.Add(name);
                }
            }
            // Loaded does not mean that the core has every function: a lenient loader (Wine's,
            // and so Proton's) loads a DLL whose import is missing and ends the process at the
            // call instead.
            LibraryImage image;
            if (handles.ContainsKey(core) && adapter.Path != null &&
                (image = Safely(() => platform.Read(adapter.Path))) != null)
            {
                FindLacking(image, new List<NativeLibraryStatus> { core });
            }
        }

        /// <summary>Where the runtime and Unity look for native plugins: the package's plugin
        /// folder in the editor, the player's plugin folders, the application's folder.
        /// </summary>
        private List<string> CandidateFolders()
        {
            var folders = new List<string>();
#if UNITY_EDITOR
            Try(() =>
            {
                var package = UnityEditor.PackageManager.PackageInfo.FindForAssembly(
                    typeof(NativeLibraryDiagnosis).Assembly);
                return package == null ? null
                                       : Path.Combine(package.resolvedPath, "Plugins", "x86_64");
            }, folders);
#endif
            Try(() => Path.Combine(Application.dataPath, "Plugins", "x86_64"), folders);
            Try(() => Path.Combine(Application.dataPath, "Plugins"), folders);
            Try(() => AppDomain.CurrentDomain.BaseDirectory, folders);
            return folders;
        }

        // Adds the folder, once; some are not to be had everywhere (Application.dataPath off the
        // main thread).
        private void Try(Func<string> folder, List<string> folders)
        {
            try
            {
                var path = folder();
                if (string.IsNullOrEmpty(path))
                {
                    return;
                }
                path = Path.GetFullPath(path).TrimEnd(Path.DirectorySeparatorChar,
                                                       Path.AltDirectorySeparatorChar);
                var comparison = platform.IgnoresCase ? StringComparison.OrdinalIgnoreCase
                                                      : StringComparison.Ordinal;
                if (!folders.Exists(f => string.Equals(f, path, comparison)))
                {
                    folders.Add(path);
                }
            }
            catch (Exception)
            {
                // not available here
            }
        }

        private string Locate(string fileName, List<string> folders)
        {
            foreach (var folder in folders)
            {
                var path = Path.Combine(folder, fileName);
                if (File.Exists(path))
                {
                    return path;
                }
            }
            return platform.Search(fileName);
        }

        // Loads the library as a dependency is loaded; when it cannot be, walks the libraries it
        // needs to find which one is missing or lacks what it imports.
        private void LoadAndExplain(NativeLibraryStatus status, string path, int depth)
        {
            status.Path = path;
            status.Found = true;
            string error;
            bool notFound;
            var library = platform.Load(path ?? status.FileName, out error, out notFound);
            if (library != IntPtr.Zero)
            {
                handles[status] = library;
                status.Loaded = true;
                status.Path = platform.PathOf(library) ?? path;
                status.Version = Version(status, library);
                return;
            }
            status.LoaderError = error;
            status.Found = path != null || !notFound;
            if (path == null || depth >= MostNested)
            {
                return; // not found (notFound), or found by the loader's search alone
            }
            status.Version = Safely(() => platform.FileVersion(path));
            LibraryImage image;
            try
            {
                image = platform.Read(path);
            }
            catch (Exception)
            {
                return; // not a library this platform can read: the loader's words say so
            }
            var needed = new List<NativeLibraryStatus>();
            foreach (var fileName in image.Needed)
            {
                var dependency = Status(fileName, fileName);
                needed.Add(dependency);
                if (!dependency.neededBy.Contains(status.Name))
                {
                    // The adapter first: the walk may reach a library through the core first.
                    dependency.neededBy.Insert(status == adapter ? 0 : dependency.neededBy.Count,
                                               status.Name);
                }
                if (dependency.searchedIn.Count > 0 || dependency == adapter)
                {
                    continue; // examined already
                }
                dependency.searchedIn.AddRange(image.SearchFolders);
                dependency.searchedIn.Add(NativePlatform.SystemSearch);
                LoadAndExplain(dependency, Locate(fileName, image.SearchFolders), depth + 1);
            }
            FindLacking(image, needed);
            var failed = needed.FindAll(d => !d.Loaded || d.lacks.Count > 0);
            string blamed, lacks;
            if (failed.Count == 0 && platform.Blame(error, out blamed, out lacks))
            {
                var dependency = Status(blamed, blamed);
                dependency.lacks.Add(lacks);
                failed.Add(dependency);
            }
            causes[status] = failed;
        }

        // Asks each loaded library examined for the names imported from it (a DLL's imports name
        // their DLL; an ELF library's may come from any library it needs, and the core's are the
        // ones in its namespace).
        private void FindLacking(LibraryImage image, List<NativeLibraryStatus> needed)
        {
            foreach (var imports in image.Imports)
            {
                foreach (var name in imports.Value)
                {
                    NativeLibraryStatus from;
                    IntPtr library;
                    if (imports.Key.Length > 0)
                    {
                        if (byFile.TryGetValue(imports.Key, out from) &&
                            handles.TryGetValue(from, out library) &&
                            platform.Symbol(library, name) == IntPtr.Zero)
                        {
                            from.lacks.Add(Declaration(name));
                        }
                        continue;
                    }
                    var defined = false;
                    foreach (var dependency in needed)
                    {
                        defined |= handles.TryGetValue(dependency, out library) &&
                                   platform.Symbol(library, name) != IntPtr.Zero;
                    }
                    if (!defined && name.Contains("6Corvan4Velo") && needed.Contains(core) &&
                        core.Loaded)
                    {
                        core.lacks.Add(Declaration(name));
                    }
                }
            }
        }

        /// <summary>A C++ name as its declaration, then as it is linked; other names as they
        /// are.</summary>
        internal static string Declaration(string name)
        {
            var declaration = Demangle(name);
            return declaration == null ? name : declaration + " (" + name + ")";
        }

        /// <summary>The declaration a C++ name of either ABI stands for, as its toolchain prints
        /// it; null for other names.</summary>
        internal static string Demangle(string name)
        {
            return name.StartsWith("?") ? MsvcDemangler.Demangle(name)
                                        : ItaniumDemangler.Demangle(name);
        }

        // The adapter's version is read from the library loaded, which the editor keeps after an
        // update; any other library's from its file, whose layout in memory is not ours to vouch
        // for.
        private string Version(NativeLibraryStatus status, IntPtr library)
        {
            return status == adapter ? Safely(() => platform.LoadedVersion(library))
                   : status.Path == null ? null
                                         : Safely(() => platform.FileVersion(status.Path));
        }

        private static T Safely<T>(Func<T> read)
            where T : class
        {
            try
            {
                return read();
            }
            catch (Exception)
            {
                return null;
            }
        }

        // The libraries at fault: not loaded for reasons of their own, or lacking functions.
        private bool AtFault(NativeLibraryStatus status)
        {
            List<NativeLibraryStatus> failed;
            return status.lacks.Count > 0 ||
                   !status.Loaded && (!causes.TryGetValue(status, out failed) || failed.Count == 0);
        }

        private List<NativeLibraryStatus> Listed()
        {
            var listed = new List<NativeLibraryStatus> { adapter };
            if (core.Loaded || core.searchedIn.Count > 0)
            {
                listed.Add(core); // not when the adapter is not there to need it
            }
            foreach (var status in byFile.Values)
            {
                if (status != adapter && status != core && (AtFault(status) || !status.Loaded))
                {
                    listed.Add(status);
                }
            }
            return listed;
        }

        private NativeLibraryReport Report(VeloErrorReason? reason, string message)
        {
            return new NativeLibraryReport(reason, message, Listed());
        }

        private NativeLibraryReport Verdict(string runtimeError)
        {
            if (!adapter.Found && !adapter.Loaded)
            {
                return Report(VeloErrorReason.LibraryMissing,
                              NativeLibraryMessages.AdapterMissing(adapter));
            }
            var atFault = new List<NativeLibraryStatus>();
            foreach (var status in byFile.Values)
            {
                if (status != adapter && AtFault(status))
                {
                    atFault.Add(status);
                }
            }
            if (atFault.Contains(core) && !core.Found)
            {
                return Report(VeloErrorReason.CoreMissing, NativeLibraryMessages.CoreMissing(core));
            }
            foreach (var status in atFault)
            {
                if (status != core && (!status.Loaded || status.lacks.Count > 0))
                {
                    return Report(VeloErrorReason.DependencyMissing,
                                  NativeLibraryMessages.DependencyMissing(
                                      status, platform.IsCppRuntime(status.FileName)));
                }
            }
            if (atFault.Contains(core))
            {
                return Report(VeloErrorReason.CoreIncompatible,
                              NativeLibraryMessages.CoreIncompatible(core, adapter));
            }
            if (!adapter.Loaded)
            {
                return Report(VeloErrorReason.LibraryMissing,
                              NativeLibraryMessages.AdapterUnloadable(adapter));
            }
            if (runtimeError != null)
            {
                return Report(
                    VeloErrorReason.LibraryMissing,
                    NativeLibraryMessages.AdapterNotFoundByRuntime(adapter, runtimeError));
            }
            if (handles.ContainsKey(adapter) && adapter.Version != VeloAdapter.PackageVersion)
            {
                return Report(VeloErrorReason.LibraryVersionMismatch,
                              NativeLibraryMessages.VersionMismatch(adapter));
            }
            if (adapter.lacks.Count > 0)
            {
                return Report(VeloErrorReason.LibraryOutdated,
                              NativeLibraryMessages.Outdated(adapter));
            }
            return Report(null, NativeLibraryMessages.Usable(adapter, core));
        }
    }
}
