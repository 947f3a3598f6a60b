using System;
using System.Text;

namespace Corvan.Velo.Unity
{
    /// <summary>Texts across the native boundary: always UTF-8, never the ANSI code page. Invalid
    /// bytes read as U+FFFD.</summary>
    internal static class Utf8
    {
        internal static readonly UTF8Encoding Encoding = new UTF8Encoding(false, false);

        /// <summary>The text as UTF-8 with a terminating zero; null stays null. Throws an
        /// <see cref="ArgumentException"/> naming <paramref name="parameter"/> when the text holds
        /// a zero character, where native code would cut it.</summary>
        internal static byte[] ToNative(string text, string parameter)
        {
            if (text == null)
            {
                return null;
            }
            if (text.IndexOf('\0') >= 0)
            {
                throw new ArgumentException(
                    "The text holds a zero character at " + text.IndexOf('\0') +
                        ", where native code would cut it; nothing was sent.",
                    parameter);
            }
            var bytes = new byte[Encoding.GetByteCount(text) + 1];
            Encoding.GetBytes(text, 0, text.Length, bytes, 0);
            return bytes;
        }

        /// <summary>Copies a zero-terminated UTF-8 text; a null pointer gives null.</summary>
        internal static unsafe string FromNative(IntPtr text)
        {
            if (text == IntPtr.Zero)
            {
                return null;
            }
            var bytes = (byte *)text;
            return Encoding.GetString(bytes, Length(bytes));
        }

        /// <summary>The byte count of a zero-terminated text.</summary>
        internal static unsafe int Length(byte *text)
        {
            var length = 0;
            while (text[length] != 0)
            {
                ++length;
            }
            return length;
        }
    }
}
