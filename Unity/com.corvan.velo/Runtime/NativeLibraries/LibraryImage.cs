using System;
using System.Collections.Generic;
using System.IO;
using System.Text;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// What a library's file tells about loading it: the libraries it needs, the names it imports
    /// and the folders its needed libraries are looked for in first. Read from a 64-bit ELF shared
    /// object (<see cref="ReadElf"/>) or a PE DLL (<see cref="ReadPe"/>) without loading it.
    /// </summary>
    internal sealed class LibraryImage
    {
        /// <summary>The needed libraries' file names, in the order the file lists them.</summary>
        internal readonly List<string> Needed = new List<string>();

        /// <summary>The names imported from each needed library, by its file name (a DLL imports
        /// each name from one DLL; an ELF library's undefined names are under "": any of the
        /// libraries it needs may define them). An import by number is "#number".</summary>
        internal readonly Dictionary<string, List<string>> Imports =
            new Dictionary<string, List<string>>(StringComparer.OrdinalIgnoreCase);

        /// <summary>Folders searched for the needed libraries before the system's search: the
        /// ELF library's run path ($ORIGIN its own folder), the DLL's own folder.</summary>
        internal readonly List<string> SearchFolders = new List<string>();

        private List<string> ImportsFrom(string library)
        {
            List<string> names;
            if (!Imports.TryGetValue(library, out names))
            {
                names = new List<string>();
                Imports.Add(library, names);
            }
            return names;
        }

        private static string Text(byte[] data, long at)
        {
            var end = Array.IndexOf(data, (byte)0, checked((int)at));
            return Encoding.UTF8.GetString(data, (int)at, (end < 0 ? data.Length : end) - (int)at);
        }

        private static int U16(byte[] data, long at) =>
            BitConverter.ToUInt16(data, checked((int)at));

        private static uint U32(byte[] data, long at) =>
            BitConverter.ToUInt32(data, checked((int)at));

        private static long U64(byte[] data, long at) =>
            BitConverter.ToInt64(data, checked((int)at));

        private static bool IsElf64(byte[] header)
        {
            return header.Length >= 64 && header[0] == 0x7F && header[1] == 'E' &&
                   header[2] == 'L' && header[3] == 'F' && header[4] == 2 && header[5] == 1;
        }

        /// <summary>Reads the dynamic section (needed libraries, run path) and the undefined
        /// global symbols of a 64-bit little-endian ELF file.</summary>
        internal static LibraryImage ReadElf(string path)
        {
            var data = File.ReadAllBytes(path);
            if (!IsElf64(data))
            {
                throw new BadImageFormatException(path + " is not a 64-bit ELF library");
            }
            var image = new LibraryImage();
            var origin = Path.GetDirectoryName(Path.GetFullPath(path));
            long sections = U64(data, 0x28);
            int size = U16(data, 0x3A), count = U16(data, 0x3C);
            Func<long, long> section = i => sections + i * size;
            string runPath = null, rPath = null;
            for (var i = 0; i < count; ++i)
            {
                var header = section(i);
                var type = U32(data, header + 4);
                long offset = U64(data, header + 0x18), length = U64(data, header + 0x20);
                var strings = U64(data, section(U32(data, header + 0x28)) + 0x18);
                if (type == 6) // SHT_DYNAMIC
                {
                    for (var entry = offset; entry + 16 <= offset + length; entry += 16)
                    {
                        long tag = U64(data, entry), value = U64(data, entry + 8);
                        if (tag == 0)
                        {
                            break;
                        }
                        if (tag == 1) // DT_NEEDED
                        {
                            image.Needed.Add(Text(data, strings + value));
                        }
                        else if (tag == 29) // DT_RUNPATH
                        {
                            runPath = Text(data, strings + value);
                        }
                        else if (tag == 15) // DT_RPATH
                        {
                            rPath = Text(data, strings + value);
                        }
                    }
                }
                else if (type == 11) // SHT_DYNSYM: 24-byte entries, the first one empty
                {
                    for (var symbol = offset + 24; symbol + 24 <= offset + length; symbol += 24)
                    {
                        var name = U32(data, symbol);
                        var binding = data[symbol + 4] >> 4;
                        // Undefined (no section) and global.
                        if (U16(data, symbol + 6) == 0 && name != 0 && binding == 1)
                        {
                            image.ImportsFrom("").Add(Text(data, strings + name));
                        }
                    }
                }
            }
            // A run path makes the older RPATH ignored.
            foreach (var folder in (runPath ?? rPath ?? "").Split(':'))
            {
                if (folder.Length > 0)
                {
                    image.SearchFolders.Add(
                        folder.Replace("${ORIGIN}", origin).Replace("$ORIGIN", origin));
                }
            }
            return image;
        }

        /// <summary>The version note a library of this project carries (owner "Corvan", type 1),
        /// read through <paramref name="read"/> (offset, count: bytes), from memory where the
        /// library is loaded, its segments at their addresses, or from its file; null when it
        /// has none.</summary>
        internal static string ElfVersionNote(Func<long, int, byte[]> read, bool loaded)
        {
            var header = read(0, 64);
            if (!IsElf64(header))
            {
                return null;
            }
            long table = U64(header, 0x20);
            int size = U16(header, 0x36), count = U16(header, 0x38);
            var segments = read(table, size * count);
            for (var i = 0; i < count; ++i)
            {
                var segment = i * size;
                if (U32(segments, segment) != 4) // PT_NOTE
                {
                    continue;
                }
                var where = U64(segments, segment + (loaded ? 0x10 : 0x08));
                var length = U64(segments, segment + 0x20);
                if (length > 1 << 16)
                {
                    continue;
                }
                var notes = read(where, (int)length);
                for (var note = 0; note + 12 <= notes.Length;)
                {
                    long nameSize = U32(notes, note), textSize = U32(notes, note + 4);
                    var text = note + 12 + ((nameSize + 3) & ~3);
                    if (text + textSize > notes.Length)
                    {
                        break;
                    }
                    if (nameSize == 7 && U32(notes, note + 8) == 1 &&
                        Text(notes, note + 12) == "Corvan")
                    {
                        return Encoding.UTF8.GetString(notes, (int)text, (int)textSize)
                            .TrimEnd('\0');
                    }
                    note = (int)(text + ((textSize + 3) & ~3));
                }
            }
            return null;
        }

        /// <summary>Reads the import table of a PE file (the DLLs it needs and the names it takes
        /// from each).</summary>
        internal static LibraryImage ReadPe(string path)
        {
            var data = File.ReadAllBytes(path);
            if (data.Length < 0x40 || data[0] != 'M' || data[1] != 'Z')
            {
                throw new BadImageFormatException(path + " is not a PE file");
            }
            var pe = U32(data, 0x3C);
            if (U32(data, pe) != 0x4550) // "PE\0\0"
            {
                throw new BadImageFormatException(path + " is not a PE file");
            }
            int sections = U16(data, pe + 6), optionalSize = U16(data, pe + 20);
            long optional = pe + 24, table = optional + optionalSize;
            var wide = U16(data, optional) == 0x20B; // PE32+, 64-bit
            var imports = U32(data, optional + (wide ? 112 : 96) + 8);
            Func<long, long> offset = rva =>
            {
                for (var i = 0; i < sections; ++i)
                {
                    var header = table + 40 * i;
                    long start = U32(data, header + 12);
                    long size = Math.Max(U32(data, header + 8), U32(data, header + 16));
                    if (rva >= start && rva < start + size)
                    {
                        return U32(data, header + 20) + rva - start;
                    }
                }
                throw new BadImageFormatException(path + ": an address outside its sections");
            };
            var image = new LibraryImage();
            image.SearchFolders.Add(Path.GetDirectoryName(Path.GetFullPath(path)));
            for (var descriptor = imports == 0 ? -1 : offset(imports); descriptor >= 0;
                 descriptor += 20)
            {
                uint lookup = U32(data, descriptor), name = U32(data, descriptor + 12);
                if (name == 0)
                {
                    break;
                }
                var library = Text(data, offset(name));
                image.Needed.Add(library);
                var names = image.ImportsFrom(library);
                var step = wide ? 8 : 4;
                for (var thunk = offset(lookup != 0 ? lookup : U32(data, descriptor + 16));;
                     thunk += step)
                {
                    var entry = wide ? U64(data, thunk) : U32(data, thunk);
                    if (entry == 0)
                    {
                        break;
                    }
                    var byNumber = wide ? entry < 0 : (entry & 0x80000000) != 0;
                    names.Add(byNumber ? "#" + (entry & 0xFFFF)
                                       : Text(data, offset(entry & 0x7FFFFFFF) + 2));
                }
            }
            return image;
        }
    }
}
