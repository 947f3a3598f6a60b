using System.Collections.Generic;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Turns a decorated C++ name of the MSVC ABI back into the declaration it was made from, as
    /// Microsoft's undname and the linker's errors print it: "public: static bool __cdecl
    /// Corvan::Velo::VeloLogin::GetLoginRet(struct Corvan::Velo::VeloLoginRet &amp;)". It reads
    /// what names of functions, members, constructors and their types use: qualified names with
    /// their back references, templates with type arguments, pointers, references, qualifiers,
    /// classes, structs, enums and builtin types. For anything else it gives null, and the caller
    /// shows the name as it was linked.
    /// </summary>
    internal sealed class MsvcDemangler
    {
        private readonly string text;
        private int at;
        // Back references: the names (0-9) and the function parameters' types (0-9) seen so far.
        private List<string> names = new List<string>();
        private List<string> parameterTypes = new List<string>();

        private MsvcDemangler(string text)
        {
            this.text = text;
        }

        /// <summary>The declaration, or null when the name is not one this reader knows.
        /// </summary>
        internal static string Demangle(string name)
        {
            if (name == null || !name.StartsWith("?"))
            {
                return null;
            }
            try
            {
                var reader = new MsvcDemangler(name) { at = 1 };
                var result = reader.Function();
                return reader.at == name.Length ? result : null;
            }
            catch (UnknownException)
            {
                return null;
            }
        }

        private sealed class UnknownException : System.Exception
        {
        }

        private char Next()
        {
            if (at >= text.Length)
            {
                throw new UnknownException();
            }
            return text[at++];
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

        private static readonly string[] Access = { "private: ", "protected: ", "public: " };
        private static readonly string[] Kind = { "", "static ", "virtual " };

        private string Function()
        {
            // ??0 and ??1 name a class's constructor and destructor, after the class.
            var special = Take("?0") ? "" : Take("?1") ? "~" : null;
            if (special == null && text[at] == '?')
            {
                throw new UnknownException(); // operators and compiler-made names
            }
            var name = QualifiedName(special);
            var code = Next();
            string prefix;
            var member = false;
            if (code >= 'A' && code <= 'X')
            {
                var group = (code - 'A') / 8;    // private, protected, public
                var kind = (code - 'A') % 8 / 2; // member, static, virtual, thunk
                if (kind == 3)
                {
                    throw new UnknownException();
                }
                prefix = Access[group] + Kind[kind];
                member = kind != 1;
            }
            else if (code == 'Y' || code == 'Z')
            {
                prefix = "";
            }
            else
            {
                throw new UnknownException(); // variables, thunks
            }
            var thisQualifier = "";
            if (member)
            {
                while (Take("E") || Take("I") || Take("F"))
                {
                    // __ptr64, __restrict, __unaligned: undname leaves them out
                }
                thisQualifier = Qualifier(Next());
            }
            var convention = CallingConvention(Next());
            string returns;
            if (Take("@"))
            {
                returns = ""; // constructors and destructors
            }
            else
            {
                var constant = Take("?B") ? " const" : "";
                Take("?A");
                returns = Type() + constant + " ";
            }
            var parameters = Parameters();
            if (!Take("Z"))
            {
                throw new UnknownException(); // a list of the exceptions it throws
            }
            return prefix + returns + convention + " " + name + "(" + parameters + ")" +
                   thisQualifier;
        }

        private static string CallingConvention(char code)
        {
            switch (code)
            {
            case 'A':
            case 'B':
                return "__cdecl";
            case 'C':
            case 'D':
                return "__pascal";
            case 'E':
            case 'F':
                return "__thiscall";
            case 'G':
            case 'H':
                return "__stdcall";
            case 'I':
            case 'J':
                return "__fastcall";
            case 'Q':
                return "__vectorcall";
            default:
                throw new UnknownException();
            }
        }

        private string Parameters()
        {
            if (Take("X"))
            {
                return "void";
            }
            var list = new List<string>();
            for (;;)
            {
                if (Take("@"))
                {
                    break;
                }
                if (Take("Z"))
                {
                    list.Add("...");
                    break;
                }
                var c = text[at];
                if (c >= '0' && c <= '9')
                {
                    ++at;
                    list.Add(Reference(parameterTypes, c));
                    continue;
                }
                var start = at;
                var type = Type();
                if (at - start > 1 && parameterTypes.Count < 10)
                {
                    parameterTypes.Add(type);
                }
                list.Add(type);
            }
            return string.Join(", ", list.ToArray());
        }

        private static string Reference(List<string> table, char digit)
        {
            var index = digit - '0';
            if (index >= table.Count)
            {
                throw new UnknownException();
            }
            return table[index];
        }

        private void Memorize(string name)
        {
            if (names.Count < 10 && !names.Contains(name))
            {
                names.Add(name);
            }
        }

        // Fragments from the innermost out, each ended by @, the whole ended by another @.
        private string QualifiedName(string special)
        {
            var fragments = new List<string>();
            if (special == null)
            {
                fragments.Add(Fragment());
            }
            while (!Take("@"))
            {
                fragments.Add(Fragment());
            }
            if (special != null)
            {
                if (fragments.Count == 0)
                {
                    throw new UnknownException();
                }
                fragments.Insert(0, special + TemplateName(fragments[0]));
            }
            fragments.Reverse();
            return string.Join("::", fragments.ToArray());
        }

        // A constructor of a template's instance is named by the template alone.
        private static string TemplateName(string fragment)
        {
            var bracket = fragment.IndexOf('<');
            return bracket < 0 ? fragment : fragment.Substring(0, bracket);
        }

        private string Fragment()
        {
            var c = text[at];
            if (c >= '0' && c <= '9')
            {
                ++at;
                return Reference(names, c);
            }
            if (Take("?$"))
            {
                var template = TemplateInstance();
                Memorize(template);
                return template;
            }
            if (c == '?')
            {
                throw new UnknownException(); // anonymous namespaces, local scopes
            }
            var name = Identifier();
            Memorize(name);
            return name;
        }

        private string Identifier()
        {
            var end = text.IndexOf('@', at);
            if (end <= at)
            {
                throw new UnknownException();
            }
            var name = text.Substring(at, end - at);
            at = end + 1;
            return name;
        }

        // ?$name@arguments@: its own back references, the outer ones kept for after it.
        private string TemplateInstance()
        {
            var outerNames = names;
            var outerTypes = parameterTypes;
            names = new List<string>();
            parameterTypes = new List<string>();
            var name = Identifier();
            Memorize(name);
            var arguments = new List<string>();
            while (!Take("@"))
            {
                arguments.Add(Type());
            }
            names = outerNames;
            parameterTypes = outerTypes;
            return name + "<" + string.Join(", ", arguments.ToArray()) + ">";
        }

        private static string Qualifier(char code)
        {
            switch (code)
            {
            case 'A':
                return "";
            case 'B':
                return " const";
            case 'C':
                return " volatile";
            case 'D':
                return " const volatile";
            default:
                throw new UnknownException();
            }
        }

        private static readonly Dictionary<char, string> Builtins = new Dictionary<char, string> {
            { 'X', "void" },
            { 'D', "char" },
            { 'C', "signed char" },
            { 'E', "unsigned char" },
            { 'F', "short" },
            { 'G', "unsigned short" },
            { 'H', "int" },
            { 'I', "unsigned int" },
            { 'J', "long" },
            { 'K', "unsigned long" },
            { 'M', "float" },
            { 'N', "double" },
            { 'O', "long double" },
        };

        private static readonly Dictionary<char, string> ExtendedBuiltins =
            new Dictionary<char, string> {
                { 'N', "bool" },
                { 'J', "__int64" },
                { 'K', "unsigned __int64" },
                { 'W', "wchar_t" },
                { 'S', "char16_t" },
                { 'U', "char32_t" },
                { 'Q', "char8_t" },
            };

        private string Type()
        {
            var code = Next();
            string type;
            if (Builtins.TryGetValue(code, out type))
            {
                return type;
            }
            switch (code)
            {
            case '_':
                if (!ExtendedBuiltins.TryGetValue(Next(), out type))
                {
                    throw new UnknownException();
                }
                return type;
            case 'P':
            case 'Q':
            case 'R':
            case 'S':
                // The pointer's own qualifier comes from its letter, the pointee's after it.
                var pointer = Pointee("*");
                return pointer + Qualifier((char)('A' + (code - 'P'))).TrimStart();
            case 'A':
                return Pointee("&");
            case 'U':
                return "struct " + QualifiedName(null);
            case 'V':
                return "class " + QualifiedName(null);
            case 'T':
                return "union " + QualifiedName(null);
            case 'W':
                Next(); // the underlying type: undname does not show it
                return "enum " + QualifiedName(null);
            case '$':
                if (Take("$Q"))
                {
                    return Pointee("&&");
                }
                throw new UnknownException();
            default:
                throw new UnknownException(); // function pointers, arrays, members...
            }
        }

        // What a pointer or reference refers to, with its qualifiers, then the sign.
        private string Pointee(string sign)
        {
            while (Take("E") || Take("I") || Take("F"))
            {
                // __ptr64, __restrict, __unaligned: undname leaves them out
            }
            var qualifier = Qualifier(Next());
            var pointee = Type() + qualifier;
            return pointee + (pointee.EndsWith("*") || pointee.EndsWith("&") ? "" : " ") + sign;
        }
    }
}
