using System.Collections.Generic;
using System.Text;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Turns a C++ name of the Itanium ABI (GCC and clang on Linux) back into the declaration it
    /// was made from, as c++filt prints it: "Corvan::Velo::VeloLogin::GetLoginRet(
    /// Corvan::Velo::VeloLoginRet&amp;)". It reads the part of the grammar that names of plain
    /// functions, members and their types use: nested and std names, substitutions, ABI tags,
    /// templates with type arguments, pointers, references, qualifiers and builtin types. For
    /// anything else it gives null, and the caller shows the name as it was linked.
    /// </summary>
    internal sealed class ItaniumDemangler
    {
        private readonly string text;
        private int at;
        private readonly List<string> substitutions = new List<string>();

        private ItaniumDemangler(string text)
        {
            this.text = text;
        }

        /// <summary>The declaration, or null when the name is not one this reader knows.
        /// </summary>
        internal static string Demangle(string name)
        {
            if (name == null || !name.StartsWith("_Z"))
            {
                return null;
            }
            try
            {
                var reader = new ItaniumDemangler(name) { at = 2 };
                var result = reader.Special() ?? reader.Encoding();
                return reader.at == name.Length ? result : null;
            }
            catch (NotSupportedException)
            {
                return null;
            }
        }

        private sealed class NotSupportedException : System.Exception
        {
        }

        private static NotSupportedException Unknown()
        {
            return new NotSupportedException();
        }

        private char Peek(int ahead = 0)
        {
            return at + ahead < text.Length ? text[at + ahead] : '\0';
        }

        private bool Take(string prefix)
        {
            if (string.CompareOrdinal(text, at, prefix, 0, prefix.Length) != 0)
            {
                return false;
            }
            at += prefix.Length;
            return true;
        }

        // The data the compiler makes for a class: its virtual table, type information, name.
        private string Special()
        {
            if (Take("TV"))
            {
                return "vtable for " + Type();
            }
            if (Take("TI"))
            {
                return "typeinfo for " + Type();
            }
            if (Take("TS"))
            {
                return "typeinfo name for " + Type();
            }
            return null;
        }

        // <name> [<bare-function-type>]: a variable's name alone, a function's with its
        // parameters (and, for a template's instance, its return type first).
        private string Encoding()
        {
            bool constMember;
            bool template;
            var name = Name(out constMember, out template);
            if (at == text.Length)
            {
                return name;
            }
            var returns = template ? Type() + " " : "";
            var parameters = new List<string>();
            if (Peek() == 'v' && at + 1 == text.Length)
            {
                ++at; // no parameters
            }
            while (at < text.Length)
            {
                parameters.Add(Take("z") ? "..." : Type());
            }
            return returns + name + "(" + string.Join(", ", parameters.ToArray()) + ")" +
                   (constMember ? " const" : "");
        }

        private string Name(out bool constMember, out bool template)
        {
            constMember = false;
            template = false;
            if (Take("N"))
            {
                constMember = Take("K");
                return Nested(false, out template);
            }
            string name;
            if (Take("St"))
            {
                name = "std::" + Unqualified();
            }
            else if (Peek() == 'S')
            {
                name = Substitution();
                if (Peek() != 'I')
                {
                    throw Unknown(); // a substitution names a template here, never a function
                }
            }
            else
            {
                name = Unqualified();
            }
            if (Peek() == 'I')
            {
                substitutions.Add(name);
                name += TemplateArguments();
                template = true;
            }
            return name;
        }

        // N <prefix>... E: each prefix is a candidate for substitution; the whole name is too
        // when it names a type, never when it names the function being declared.
        private string Nested(bool isType, out bool template)
        {
            template = false;
            string name = null;
            string last = null;
            while (!Take("E"))
            {
                if (Peek() == 'I' && name != null)
                {
                    name += TemplateArguments();
                    template = true;
                }
                else if (name == null && Take("St"))
                {
                    name = "std::" + Unqualified();
                    template = false;
                }
                else if (name == null && Peek() == 'S')
                {
                    name = Substitution();
                    last = name.Substring(name.LastIndexOf(':') + 1);
                    continue;
                }
                else if ((Peek() == 'C' || Peek() == 'D') && char.IsDigit(Peek(1)) && last != null)
                {
                    // Constructors and destructors are named by their class.
                    var destructor = Peek() == 'D';
                    at += 2;
                    name = name + "::" + (destructor ? "~" : "") + last;
                    template = false;
                }
                else
                {
                    last = Unqualified();
                    name = name == null ? last : name + "::" + last;
                    template = false;
                }
                if (Peek() != 'E' || isType)
                {
                    substitutions.Add(name);
                }
            }
            if (name == null)
            {
                throw Unknown();
            }
            return name;
        }

        // <source-name> [B <source-name>]...: an identifier and its ABI tags.
        private string Unqualified()
        {
            if (!char.IsDigit(Peek()))
            {
                throw Unknown();
            }
            var name = SourceName();
            while (Take("B"))
            {
                name += "[abi:" + SourceName() + "]";
            }
            return name;
        }

        private string SourceName()
        {
            var length = 0;
            while (char.IsDigit(Peek()))
            {
                length = length * 10 + (text[at++] - '0');
                if (length > text.Length)
                {
                    throw Unknown();
                }
            }
            if (length == 0 || at + length > text.Length)
            {
                throw Unknown();
            }
            var name = text.Substring(at, length);
            at += length;
            return name;
        }

        private string TemplateArguments()
        {
            if (!Take("I"))
            {
                throw Unknown();
            }
            var arguments = new List<string>();
            while (!Take("E"))
            {
                arguments.Add(Type());
            }
            var list = string.Join(", ", arguments.ToArray());
            // c++filt keeps two closing brackets apart.
            return "<" + list + (list.EndsWith(">") ? " >" : ">");
        }

        private static readonly Dictionary<char, string> Builtins = new Dictionary<char, string> {
            { 'v', "void" },
            { 'w', "wchar_t" },
            { 'b', "bool" },
            { 'c', "char" },
            { 'a', "signed char" },
            { 'h', "unsigned char" },
            { 's', "short" },
            { 't', "unsigned short" },
            { 'i', "int" },
            { 'j', "unsigned int" },
            { 'l', "long" },
            { 'm', "unsigned long" },
            { 'x', "long long" },
            { 'y', "unsigned long long" },
            { 'n', "__int128" },
            { 'o', "unsigned __int128" },
            { 'f', "float" },
            { 'd', "double" },
            { 'e', "long double" },
        };

        private static readonly Dictionary<string, string> StdAbbreviations =
            new Dictionary<string, string> {
                { "Sa", "std::allocator" },
                { "Sb", "std::basic_string" },
                { "Ss", "std::basic_string<char, std::char_traits<char>, std::allocator<char> >" },
                { "Si", "std::basic_istream<char, std::char_traits<char> >" },
                { "So", "std::basic_ostream<char, std::char_traits<char> >" },
                { "Sd", "std::basic_iostream<char, std::char_traits<char> >" },
            };

        private string Type()
        {
            string builtin;
            if (Builtins.TryGetValue(Peek(), out builtin))
            {
                ++at;
                return builtin;
            }
            string type;
            switch (Peek())
            {
            case 'K':
            case 'V':
            case 'r':
                var qualifiers = Qualifiers();
                type = Type() + qualifiers;
                break;
            case 'P':
                ++at;
                type = Type() + "*";
                break;
            case 'R':
                ++at;
                type = Type() + "&";
                break;
            case 'O':
                ++at;
                type = Type() + "&&";
                break;
            case 'N':
                ++at;
                bool template;
                return Nested(true, out template); // added to the substitutions by Nested
            case 'S':
                if (Take("St"))
                {
                    type = "std::" + Unqualified();
                    break;
                }
                // A substitution is not added again; the template instance it starts is.
                type = Substitution();
                if (Peek() == 'I')
                {
                    type += TemplateArguments();
                    substitutions.Add(type);
                }
                return type;
            default:
                type = Unqualified();
                break;
            }
            if (Peek() == 'I')
            {
                substitutions.Add(type);
                type += TemplateArguments();
            }
            substitutions.Add(type);
            return type;
        }

        // c++filt writes a type's qualifiers after it, in the order restrict, volatile, const.
        private string Qualifiers()
        {
            var restrict = Take("r");
            var isVolatile = Take("V");
            var isConst = Take("K");
            return (isConst ? " const" : "") + (isVolatile ? " volatile" : "") +
                   (restrict ? " restrict" : "");
        }

        // S_ is the first candidate, S<base 36 number>_ the ones after it; St, Sa, Ss... name
        // the standard library's.
        private string Substitution()
        {
            string abbreviation;
            if (at + 2 <= text.Length &&
                StdAbbreviations.TryGetValue(text.Substring(at, 2), out abbreviation))
            {
                at += 2;
                return abbreviation;
            }
            if (!Take("S"))
            {
                throw Unknown();
            }
            var index = 0;
            if (!Take("_"))
            {
                while (!Take("_"))
                {
                    var c = Peek();
                    int digit = c >= '0' && c <= '9'   ? c - '0'
                                : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                                       : -1;
                    if (digit < 0)
                    {
                        throw Unknown();
                    }
                    index = index * 36 + digit;
                    ++at;
                }
                ++index;
            }
            if (index >= substitutions.Count)
            {
                throw Unknown();
            }
            return substitutions[index];
        }
    }
}
