using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// The operating system's loader, as the diagnosis of the native libraries asks it: find a
    /// library the process has loaded, load one as a dependency is loaded and quote the loader
    /// when it cannot, look up a symbol, read a library's version and its file. Every handle it
    /// returns is released with <see cref="Release"/>.
    /// </summary>
    internal abstract class NativePlatform
    {
        /// <summary>What the report calls the loader's own search for a library by name.</summary>
        internal const string SystemSearch = "the system's library search path";

        /// <summary>This process's platform; null where the package has no native library.
        /// </summary>
        internal static readonly NativePlatform Current = Detect();

        private static NativePlatform Detect()
        {
            if (IntPtr.Size != 8)
            {
                return null;
            }
            if (RuntimeInformation.IsOSPlatform(OSPlatform.Windows))
            {
                return new WindowsPlatform();
            }
            return RuntimeInformation.IsOSPlatform(OSPlatform.Linux) ? new LinuxPlatform() : null;
        }

        /// <summary>Whether file names differ only in case here.</summary>
        internal abstract bool IgnoresCase { get; }

        /// <summary>The file name of a library: "VeloCore" is libVeloCore.so or VeloCore.dll.
        /// </summary>
        internal abstract string FileName(string library);

        /// <summary>The library the process has loaded by that file name, or zero.</summary>
        internal abstract IntPtr FindLoaded(string fileName);

        /// <summary>Loads a library by path, or by file name through the loader's search, with
        /// its dependencies as the loader finds them for it; zero with the loader's words, and
        /// whether they say that the library itself was not found, when it cannot.</summary>
        internal abstract IntPtr Load(string pathOrName, out string error, out bool notFound);

        internal abstract void Release(IntPtr library);

        internal abstract IntPtr Symbol(IntPtr library, string name);

        /// <summary>The file a loaded library was loaded from.</summary>
        internal abstract string PathOf(IntPtr library);

        /// <summary>The version a loaded library carries, read from its memory; null if none.
        /// </summary>
        internal abstract string LoadedVersion(IntPtr library);

        /// <summary>The version a library file carries; null if none.</summary>
        internal abstract string FileVersion(string path);

        /// <summary>A library file's own search for it, when the folders given lack it (null
        /// when the loader's search cannot be asked without loading).</summary>
        internal abstract string Search(string fileName);

        internal abstract LibraryImage Read(string path);

        /// <summary>For a library that cannot be loaded for reasons its dependencies do not
        /// explain: the dependency the loader's words blame, and what it lacks.</summary>
        internal virtual bool Blame(string error, out string fileName, out string lacks)
        {
            fileName = lacks = null;
            return false;
        }

        /// <summary>Whether the library is part of a runtime the system or the player installs
        /// (the Visual C++ runtime on Windows).</summary>
        internal virtual bool IsCppRuntime(string fileName)
        {
            return false;
        }
    }

    /// <summary>glibc's dynamic loader, through libdl.</summary>
    internal sealed class LinuxPlatform : NativePlatform
    {
        internal override bool IgnoresCase => false;

        internal override string FileName(string library)
        {
            return "lib" + library + ".so";
        }

        internal override IntPtr FindLoaded(string fileName)
        {
            return dlopen(fileName, RtldLazy | RtldNoLoad);
        }

        internal override IntPtr Load(string pathOrName, out string error, out bool notFound)
        {
            var library = dlopen(pathOrName, RtldNow | RtldLocal);
            error = library == IntPtr.Zero ? Utf8.FromNative(dlerror()) : null;
            // "libVeloCore.so: cannot open shared object file: No such file or directory"
            notFound = error != null && pathOrName.IndexOf('/') < 0 &&
                       error.StartsWith(pathOrName + ": cannot open shared object file");
            return library;
        }

        internal override void Release(IntPtr library)
        {
            dlclose(library);
        }

        internal override IntPtr Symbol(IntPtr library, string name)
        {
            return dlsym(library, name);
        }

        private static IntPtr LinkMap(IntPtr library)
        {
            IntPtr map;
            return dlinfo(library, RtldDiLinkMap, out map) == 0 ? map : IntPtr.Zero;
        }

        internal override string PathOf(IntPtr library)
        {
            var map = LinkMap(library); // struct link_map { l_addr; l_name; ... }
            return map == IntPtr.Zero ? null : Utf8.FromNative(Marshal.ReadIntPtr(map, IntPtr.Size));
        }

        internal override string LoadedVersion(IntPtr library)
        {
            var map = LinkMap(library);
            if (map == IntPtr.Zero)
            {
                return null;
            }
            var start = Marshal.ReadIntPtr(map).ToInt64();
            return LibraryImage.ElfVersionNote((offset, count) =>
            {
                var bytes = new byte[count];
                Marshal.Copy(new IntPtr(start + offset), bytes, 0, count);
                return bytes;
            }, true);
        }

        internal override string FileVersion(string path)
        {
            using (var file = System.IO.File.OpenRead(path))
            {
                return LibraryImage.ElfVersionNote((offset, count) =>
                {
                    var bytes = new byte[count];
                    file.Position = offset;
                    return file.Read(bytes, 0, count) == count ? bytes : new byte[0];
                }, false);
            }
        }

        internal override string Search(string fileName)
        {
            return null;
        }

        internal override LibraryImage Read(string path)
        {
            return LibraryImage.ReadElf(path);
        }

        // "/usr/lib/libstdc++.so.6: version `GLIBCXX_3.4.30' not found (required by ...)"
        internal override bool Blame(string error, out string fileName, out string lacks)
        {
            var mark = error.IndexOf(": version `", StringComparison.Ordinal);
            var end = mark < 0 ? -1 : error.IndexOf('\'', mark);
            if (end < 0)
            {
                return base.Blame(error, out fileName, out lacks);
            }
            fileName = System.IO.Path.GetFileName(error.Substring(0, mark));
            lacks = "the symbol version " + error.Substring(mark + 11, end - mark - 11);
            return true;
        }

        private const int RtldLazy = 1;
        private const int RtldNow = 2;
        private const int RtldNoLoad = 4;
        private const int RtldLocal = 0;
        private const int RtldDiLinkMap = 2;

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlopen(string file, int mode);

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlerror();

        [DllImport("libdl.so.2")]
        private static extern IntPtr dlsym(IntPtr library, string name);

        [DllImport("libdl.so.2")]
        private static extern int dlclose(IntPtr library);

        [DllImport("libdl.so.2")]
        private static extern int dlinfo(IntPtr library, int request, out IntPtr info);
    }
}
