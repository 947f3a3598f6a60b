using System;
using System.Runtime.InteropServices;
using System.Text;

namespace Corvan.Velo.Unity
{
    /// <summary>The Windows loader, through kernel32.</summary>
    internal sealed class WindowsPlatform : NativePlatform
    {
        internal override bool IgnoresCase => true;

        internal override string FileName(string library)
        {
            return library + ".dll";
        }

        internal override IntPtr FindLoaded(string fileName)
        {
            IntPtr library;
            return GetModuleHandleExW(0, fileName, out library) ? library : IntPtr.Zero;
        }

        internal override IntPtr Load(string pathOrName, out string error, out bool notFound)
        {
            // A DLL loaded by path finds its dependencies beside it first, as Unity loads plugins.
            var byPath = pathOrName.IndexOf('\\') >= 0 || pathOrName.IndexOf('/') >= 0;
            var library = LoadLibraryExW(pathOrName, IntPtr.Zero, byPath ? AlteredSearchPath : 0);
            var code = library == IntPtr.Zero ? Marshal.GetLastWin32Error() : 0;
            error = library == IntPtr.Zero ? Describe(code) : null;
            notFound = !byPath && code == ErrorModNotFound;
            return library;
        }

        private static string Describe(int code)
        {
            var text = new StringBuilder(1024);
            var length = FormatMessageW(FromSystem | IgnoreInserts, IntPtr.Zero, code, 0, text,
                                        text.Capacity, IntPtr.Zero);
            var words = length > 0 ? text.ToString(0, length).Trim() : "";
            return (words.Length > 0 ? words + " " : "") + "(error " + code + ")";
        }

        internal override void Release(IntPtr library)
        {
            FreeLibrary(library);
        }

        internal override IntPtr Symbol(IntPtr library, string name)
        {
            ushort number;
            return name.StartsWith("#") && ushort.TryParse(name.Substring(1), out number)
                       ? GetProcAddressByNumber(library, new IntPtr(number))
                       : GetProcAddress(library, name);
        }

        internal override string PathOf(IntPtr library)
        {
            var path = new StringBuilder(32768);
            var length = GetModuleFileNameW(library, path, path.Capacity);
            return length > 0 ? path.ToString(0, length) : null;
        }

        // VS_FIXEDFILEINFO, in the version resource: its signature, then the file version.
        internal override string LoadedVersion(IntPtr library)
        {
            var found = FindResourceW(library, new IntPtr(1), new IntPtr(16)); // RT_VERSION
            var size = found == IntPtr.Zero ? 0 : SizeofResource(library, found);
            var data = size == 0 ? IntPtr.Zero : LockResource(LoadResource(library, found));
            if (data == IntPtr.Zero)
            {
                return null;
            }
            var block = new byte[size];
            Marshal.Copy(data, block, 0, size);
            for (var at = 0; at + 16 <= size; at += 4)
            {
                if (BitConverter.ToUInt32(block, at) == 0xFEEF04BD)
                {
                    uint high = BitConverter.ToUInt32(block, at + 8), low = BitConverter.ToUInt32(block, at + 12);
                    return (high >> 16) + "." + (high & 0xFFFF) + "." + (low >> 16) +
                           ((low & 0xFFFF) != 0 ? "." + (low & 0xFFFF) : "");
                }
            }
            return null;
        }

        internal override string FileVersion(string path)
        {
            var file = LoadLibraryExW(path, IntPtr.Zero, AsDataFile);
            if (file == IntPtr.Zero)
            {
                return null;
            }
            try
            {
                return LoadedVersion(file);
            }
            finally
            {
                FreeLibrary(file);
            }
        }

        internal override string Search(string fileName)
        {
            var path = new StringBuilder(32768);
            var length = SearchPathW(null, fileName, null, path.Capacity, path, IntPtr.Zero);
            return length > 0 && length < path.Capacity ? path.ToString(0, length) : null;
        }

        internal override LibraryImage Read(string path)
        {
            return LibraryImage.ReadPe(path);
        }

        internal override bool IsCppRuntime(string fileName)
        {
            var name = fileName.ToLowerInvariant();
            return name.StartsWith("msvcp140") || name.StartsWith("vcruntime140") ||
                   name.StartsWith("api-ms-win-crt-") || name == "ucrtbase.dll";
        }

        private const uint AsDataFile = 0x2;
        private const uint AlteredSearchPath = 0x8;
        private const int ErrorModNotFound = 126;
        private const uint FromSystem = 0x1000;
        private const uint IgnoreInserts = 0x200;

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern IntPtr LoadLibraryExW(string file, IntPtr reserved, uint flags);

        [DllImport("kernel32", SetLastError = true)]
        private static extern bool FreeLibrary(IntPtr library);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern bool GetModuleHandleExW(uint flags, string name, out IntPtr library);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern int GetModuleFileNameW(IntPtr library, StringBuilder path, int size);

        [DllImport("kernel32", CharSet = CharSet.Ansi, SetLastError = true)]
        private static extern IntPtr GetProcAddress(IntPtr library, string name);

        [DllImport("kernel32", EntryPoint = "GetProcAddress", SetLastError = true)]
        private static extern IntPtr GetProcAddressByNumber(IntPtr library, IntPtr number);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern int SearchPathW(string path, string fileName, string extension,
                                              int size, StringBuilder found, IntPtr filePart);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern int FormatMessageW(uint flags, IntPtr source, int message,
                                                 int language, StringBuilder text, int size,
                                                 IntPtr arguments);

        [DllImport("kernel32", CharSet = CharSet.Unicode, SetLastError = true)]
        private static extern IntPtr FindResourceW(IntPtr library, IntPtr name, IntPtr type);

        [DllImport("kernel32", SetLastError = true)]
        private static extern IntPtr LoadResource(IntPtr library, IntPtr resource);

        [DllImport("kernel32")]
        private static extern IntPtr LockResource(IntPtr data);

        [DllImport("kernel32", SetLastError = true)]
        private static extern int SizeofResource(IntPtr library, IntPtr resource);
    }
}
