using System;
using System.Collections.Generic;
using System.Globalization;
using System.IO;
using System.Linq;
using Newtonsoft.Json;

namespace Corvan.Velo.Unity
{
    /// <summary>
    /// Turns a result text, as the adapter writes it, into its typed result in one pass over the
    /// text: no intermediate document and no reflection. Texts stay texts (no date parsing), and
    /// numbers are read as the invariant-culture numbers they are. The kind is told by the first
    /// member after the envelope, in the adapter's fixed order: "openid" (login), "channelID"
    /// straight after "msg" (QR code, which has no "extraJson") or after "extraJson" (account),
    /// "notice_list" (notices), "msgType" (web view), none (base). Members the binding does not
    /// know are skipped, however deeply they nest.
    /// </summary>
    internal static class ResultReader
    {
        /// <summary>Reads the zero-terminated UTF-8 result text at <paramref name="text"/>; with
        /// <paramref name="keepText"/> also returns it as a string. Throws a
        /// <see cref="JsonException"/> for a text that is not such a result.</summary>
        internal static BaseResult Read(IntPtr text, bool keepText, out string json)
        {
            var chars = Decoded.Of(text, out var length);
            json = keepText ? new string(chars, 0, length) : null;
            return ReadObject(chars, length, ReadResult);
        }

        /// <summary>Reads the login snapshot (the login members without the envelope); null
        /// when every member holds its default (empty texts, zeros, false): the core has no
        /// login.</summary>
        internal static LoginResult ReadLogin(IntPtr text)
        {
            var chars = Decoded.Of(text, out var length);
            return ReadObject(chars, length, ReadSnapshot);
        }

        private static readonly Func<JsonTextReader, BaseResult> ReadResult = reader =>
        {
            var envelope = new BaseResult();
            BaseResult result = null;
            var sawExtraJson = false;
            while (NextMember(reader, out var name))
            {
                if (result == null)
                {
                    result = KindOf(name, sawExtraJson);
                    if (result == null)
                    {
                        sawExtraJson |= name == "extraJson";
                        ReadMember(envelope, name, reader);
                        continue;
                    }
                    result.CopyEnvelope(envelope);
                }
                ReadMember(result, name, reader);
            }
            return result ?? envelope;
        };

        private static readonly Func<JsonTextReader, LoginResult> ReadSnapshot = reader =>
        {
            var login = new LoginResult();
            return LoginMembers.ReadAll(login, reader) ? login : null;
        };

        /// <summary>Reads a text that is one JSON object and nothing else, its members with
        /// <paramref name="readMembers"/>.</summary>
        private static T ReadObject<T>(char[] chars, int length,
                                       Func<JsonTextReader, T> readMembers)
        {
            using (var reader = Open(chars, length))
            {
                if (!Opens(reader, JsonToken.StartObject, "an object"))
                {
                    throw Unexpected(reader, "an object");
                }
                var result = readMembers(reader);
                if (reader.Read())
                {
                    throw Unexpected(reader, "the end of the text");
                }
                return result;
            }
        }

        private static BaseResult KindOf(string member, bool afterExtraJson)
        {
            switch (member)
            {
            case "openid":
                return new LoginResult();
            case "channelID":
                return afterExtraJson ? (BaseResult) new AccountResult() : new QrCodeResult();
            case "notice_list":
                return new NoticeResult();
            case "msgType":
                return new WebViewResult();
            default:
                return null;
            }
        }

        // --- Members, key by key, in the adapter's order ----------------------------------------

        /// <summary>How each member of a record is read, by its key.</summary>
        private sealed class Members<T> : Dictionary<string, Action<T, JsonTextReader>>
        {
            private readonly Func<T> create;

            /// <summary>Members of a record made by <paramref name="create"/> when it stands
            /// nested in a result (generic `new T()` would go through reflection).</summary>
            public Members(Func<T> create = null) : base(KeyComparer.Instance)
            {
                this.create = create;
            }

            internal T ReadNew(JsonTextReader json)
            {
                var target = create();
                ReadAll(target, json);
                return target;
            }

            /// <summary>Reads the member `name` into `target`; false when it is not one of these.
            /// </summary>
            internal bool Read(T target, string name, JsonTextReader json)
            {
                if (!TryGetValue(name, out var read))
                {
                    return false;
                }
                read(target, json);
                return true;
            }

            /// <summary>Reads an object of these members into `target`; others are skipped.
            /// True when a member held other than its default value.</summary>
            internal bool ReadAll(T target, JsonTextReader json)
            {
                var set = false;
                while (NextMember(json, out var name))
                {
                    if (Read(target, name, json))
                    {
                        set |= !HoldsDefault(json);
                    }
                    else
                    {
                        json.Skip();
                    }
                }
                return set;
            }
        }

        /// <summary>Compares member names cheaply: the reader hands back the name table's own
        /// instances, which are the keys themselves, and the keys differ in length or in their
        /// first or last characters.</summary>
        private sealed class KeyComparer : IEqualityComparer<string>
        {
            internal static readonly KeyComparer Instance = new KeyComparer();

            public bool Equals(string x, string y)
            {
                return ReferenceEquals(x, y) || string.Equals(x, y);
            }

            public int GetHashCode(string key)
            {
                return key.Length == 0 ? 0
                                       : key.Length * 65599 + key[0] * 257 + key[key.Length - 1];
            }
        }

        private static readonly Members<BaseResult> EnvelopeMembers = new Members<BaseResult> {
            { "methodNameID", (r, json) => r.MethodNameID = Int(json) },
            { "retCode", (r, json) => r.RetCode = Int(json) },
            { "retMsg", (r, json) => r.RetMsg = Text(json) },
            { "ret", (r, json) => r.Ret = Int(json) },
            { "msg", (r, json) => r.Msg = Text(json) },
            { "extraJson", (r, json) => r.ExtraJson = Text(json) },
        };

        private static readonly Members<LoginResult> LoginMembers = new Members<LoginResult> {
            { "openid", (r, json) => r.OpenId = Text(json) },
            { "token", (r, json) => r.Token = Text(json) },
            { "token_expire_time", (r, json) => r.TokenExpireTime = Int64(json) },
            { "first", (r, json) => r.First = Int(json) },
            { "reg_channel_dis", (r, json) => r.RegChannelDis = Text(json) },
            { "user_name", (r, json) => r.UserName = Text(json) },
            { "gender", (r, json) => r.Gender = Int(json) },
            { "birthdate", (r, json) => r.Birthdate = Text(json) },
            { "picture_url", (r, json) => r.PictureUrl = Text(json) },
            { "pf", (r, json) => r.Pf = Text(json) },
            { "pfKey", (r, json) => r.PfKey = Text(json) },
            { "need_name_auth", (r, json) => r.NeedNameAuth = Flag(json) },
            { "channelid", (r, json) => r.ChannelId = Int(json) },
            { "channel", (r, json) => r.Channel = Text(json) },
            { "channel_info", (r, json) => r.ChannelInfo = Text(json) },
            { "confirm_code", (r, json) => r.ConfirmCode = Text(json) },
            { "confirm_code_expire_time", (r, json) => r.ConfirmCodeExpireTime = Int64(json) },
            { "bind_list", (r, json) => r.BindList = Text(json) },
        };

        private static readonly Members<QrCodeResult> QrCodeMembers = new Members<QrCodeResult> {
            { "channelID", (r, json) => r.ChannelID = Int(json) },
            { "channel", (r, json) => r.Channel = Text(json) },
            { "qrCodeUrl", (r, json) => r.QrCodeUrl = Text(json) },
        };

        private static readonly Members<AccountResult> AccountMembers = new Members<AccountResult> {
            { "channelID", (r, json) => r.ChannelID = Int(json) },
            { "channel", (r, json) => r.Channel = Text(json) },
            { "seq", (r, json) => r.Seq = Text(json) },
            { "user_name", (r, json) => r.UserName = Text(json) },
            { "uid", (r, json) => r.Uid = Text(json) },
            { "token", (r, json) => r.Token = Text(json) },
            { "expiretime", (r, json) => r.ExpireTime = Text(json) },
            { "is_register", (r, json) => r.IsRegister = Int(json) },
            { "isset_pwd", (r, json) => r.IsSetPwd = Int(json) },
            { "is_receive_email", (r, json) => r.IsReceiveEmail = Int(json) },
            { "expire_time", (r, json) => r.ExpireTimeNumber = Int(json) },
        };

        private static readonly Members<NoticeResult> NoticesMembers = new Members<NoticeResult> {
            { "notice_list", (r, json) => r.Notices = ListOf(json, NoticeMembers) },
        };

        private static readonly Members<Notice> NoticeMembers =
            new Members<Notice>(() => new Notice()) {
                { "notice_id", (n, json) => n.Id = Int(json) },
                { "notice_type", (n, json) => n.Type = Int(json) },
                { "notice_group", (n, json) => n.Group = Text(json) },
                { "start_time", (n, json) => n.StartTime = Int(json) },
                { "end_time", (n, json) => n.EndTime = Int(json) },
                { "update_time", (n, json) => n.UpdateTime = Int(json) },
                { "order", (n, json) => n.Order = Int(json) },
                { "content_type", (n, json) => n.ContentType = Int(json) },
                { "language", (n, json) => n.Language = Text(json) },
                { "notice_text_obj", (n, json) => n.Text = ObjectOf(json, NoticeTextMembers) },
                { "notice_pic_list", (n, json) => n.Pictures = ListOf(json, PictureMembers) },
                { "notice_web_url", (n, json) => n.WebUrl = Text(json) },
                { "extra_data", (n, json) => n.ExtraData = Text(json) },
            };

        private static readonly Members<NoticeText> NoticeTextMembers =
            new Members<NoticeText>(() => new NoticeText()) {
                { "notice_title", (t, json) => t.Title = Text(json) },
                { "notice_content", (t, json) => t.Content = Text(json) },
                { "notice_redirect_url", (t, json) => t.RedirectUrl = Text(json) },
            };

        private static readonly Members<NoticePicture> PictureMembers =
            new Members<NoticePicture>(() => new NoticePicture()) {
                { "pic_url", (p, json) => p.Url = Text(json) },
                { "pic_hash", (p, json) => p.Hash = Text(json) },
                { "pic_title", (p, json) => p.Title = Text(json) },
                { "pic_size", (p, json) => p.Size = Text(json) },
                { "pic_dir", (p, json) => p.Dir = Int(json) },
            };

        private static readonly Members<WebViewResult> WebViewMembers = new Members<WebViewResult> {
            { "msgType", (r, json) => r.MsgType = Int(json) },
            { "msgJsonData", (r, json) => r.MsgJsonData = Text(json) },
            { "embedProgress", (r, json) => r.EmbedProgress = Progress(json) },
            { "embedUrl", (r, json) => r.EmbedUrl = Text(json) },
        };

        private static void ReadMember(BaseResult result, string name, JsonTextReader json)
        {
            var known = EnvelopeMembers.Read(result, name, json) || result switch {
                LoginResult login => LoginMembers.Read(login, name, json),
                QrCodeResult qrCode => QrCodeMembers.Read(qrCode, name, json),
                AccountResult account => AccountMembers.Read(account, name, json),
                NoticeResult notices => NoticesMembers.Read(notices, name, json),
                WebViewResult webView => WebViewMembers.Read(webView, name, json),
                _ => false,
            };
            if (!known)
            {
                json.Skip();
            }
        }

        // --- Values ------------------------------------------------------------------------------

        private static string Text(JsonTextReader json)
        {
            Next(json);
            switch (json.TokenType)
            {
            case JsonToken.String:
                return (string)json.Value;
            case JsonToken.Null:
                return null;
            default:
                throw Unexpected(json, "a text");
            }
        }

        private static int Int(JsonTextReader json)
        {
            Next(json);
            if (json.TokenType == JsonToken.Integer && json.Value is long value &&
                value >= int.MinValue && value <= int.MaxValue)
            {
                return (int)value;
            }
            throw Unexpected(json, "a 32-bit integer");
        }

        private static long Int64(JsonTextReader json)
        {
            Next(json);
            if (json.TokenType == JsonToken.Integer && json.Value is long value)
            {
                return value;
            }
            throw Unexpected(json, "a 64-bit integer");
        }

        private static bool Flag(JsonTextReader json)
        {
            Next(json);
            if (json.TokenType == JsonToken.Boolean)
            {
                return (bool)json.Value;
            }
            throw Unexpected(json, "true or false");
        }

        // The adapter writes the float widened to double, so the double narrows back to exactly
        // the core's float; null stands for a progress that is not a number. The number is parsed
        // from its text, keeping the sign of a zero, which some runtimes' parsing drops.
        private static float Progress(JsonTextReader json)
        {
            var text = json.ReadAsString();
            if (json.TokenType == JsonToken.Null)
            {
                return float.NaN;
            }
            if (text == null || !double.TryParse(text, NumberStyles.Float,
                                                 CultureInfo.InvariantCulture, out var value))
            {
                throw Unexpected(json, "a number or null");
            }
            return value == 0 && text[0] == '-' ? -0f : (float)value;
        }

        private static T ObjectOf<T>(JsonTextReader json, Members<T> members)
            where T : class
        {
            return Opens(json, JsonToken.StartObject, "an object") ? members.ReadNew(json) : null;
        }

        private static List<T> ListOf<T>(JsonTextReader json, Members<T> members)
            where T : class
        {
            if (!Opens(json, JsonToken.StartArray, "an array"))
            {
                return null;
            }
            var list = new List<T>();
            for (Next(json); json.TokenType != JsonToken.EndArray; Next(json))
            {
                if (json.TokenType != JsonToken.StartObject)
                {
                    throw Unexpected(json, "an object");
                }
                list.Add(members.ReadNew(json));
            }
            return list;
        }

        // --- Structure ---------------------------------------------------------------------------

        /// <summary>Whether the value just read is its type's default: null, an empty text, 0 or
        /// false.</summary>
        private static bool HoldsDefault(JsonTextReader json)
        {
            switch (json.TokenType)
            {
            case JsonToken.Null:
                return true;
            case JsonToken.String:
                return ((string)json.Value).Length == 0;
            case JsonToken.Integer:
                return (long)json.Value == 0;
            case JsonToken.Boolean:
                return !(bool)json.Value;
            default:
                return false;
            }
        }

        /// <summary>Moves to the next value: true at the start of a <paramref name="start"/>,
        /// false at null, else throws.</summary>
        private static bool Opens(JsonTextReader json, JsonToken start, string expected)
        {
            Next(json);
            if (json.TokenType == start)
            {
                return true;
            }
            if (json.TokenType == JsonToken.Null)
            {
                return false;
            }
            throw Unexpected(json, expected);
        }

        /// <summary>Moves to the next member of the object being read: true with its name, false
        /// at the object's end.</summary>
        private static bool NextMember(JsonTextReader json, out string name)
        {
            Next(json);
            if (json.TokenType == JsonToken.PropertyName)
            {
                name = (string)json.Value;
                return true;
            }
            if (json.TokenType == JsonToken.EndObject)
            {
                name = null;
                return false;
            }
            throw Unexpected(json, "a member");
        }

        private static void Next(JsonTextReader json)
        {
            if (!json.Read())
            {
                throw new JsonReaderException("The result text ends early.");
            }
        }

        private static JsonReaderException Unexpected(JsonTextReader json, string expected)
        {
            return new JsonReaderException("Expected " + expected + " at '" + json.Path +
                                           "', found " + json.TokenType + ".");
        }

        private static JsonTextReader Open(char[] chars, int length)
        {
            return new JsonTextReader(CharsReader.Over(chars, length)) {
                DateParseHandling = DateParseHandling.None,
                FloatParseHandling = FloatParseHandling.Double,
                ArrayPool = CharPool.Instance,
                PropertyNameTable = Names,
                CloseInput = false,
                MaxDepth = null, // unknown values are skipped at any depth, without recursion
            };
        }

        // Member names are taken from this table instead of being allocated for every result.
        // (Declared after the member tables, which it is made from.)
        private static readonly DefaultJsonNameTable Names =
            NameTable(EnvelopeMembers.Keys, LoginMembers.Keys, QrCodeMembers.Keys,
                      AccountMembers.Keys, NoticesMembers.Keys, NoticeMembers.Keys,
                      NoticeTextMembers.Keys, PictureMembers.Keys, WebViewMembers.Keys);

        private static DefaultJsonNameTable NameTable(params IEnumerable<string>[] keys)
        {
            var table = new DefaultJsonNameTable();
            foreach (var name in keys.SelectMany(k => k))
            {
                table.Add(name);
            }
            return table;
        }

        /// <summary>The text decoded from UTF-8 into a buffer that each thread reuses.</summary>
        private static class Decoded
        {
            [ThreadStatic]
            private static char[] buffer;

            // Larger buffers are not kept, so that one huge result does not stay in memory.
            private const int Kept = 1 << 20;

            internal static unsafe char[] Of(IntPtr text, out int length)
            {
                if (text == IntPtr.Zero)
                {
                    throw new JsonReaderException("The result text is null.");
                }
                var bytes = (byte *)text;
                var byteCount = Utf8.Length(bytes);
                var chars = buffer;
                if (chars == null || chars.Length < byteCount)
                {
                    chars = new char[Math.Max(byteCount, 1024)];
                    if (chars.Length <= Kept)
                    {
                        buffer = chars;
                    }
                }
                fixed(char *first = chars)
                {
                    length = Utf8.Encoding.GetChars(bytes, byteCount, first, chars.Length);
                }
                return chars;
            }
        }

        /// <summary>Hands the JSON reader a decoded text; one instance a thread.</summary>
        private sealed class CharsReader : TextReader
        {
            [ThreadStatic]
            private static CharsReader current;

            private char[] chars;
            private int next;
            private int end;

            internal static CharsReader Over(char[] chars, int length)
            {
                var reader = current ?? (current = new CharsReader());
                reader.chars = chars;
                reader.next = 0;
                reader.end = length;
                return reader;
            }

            public override int Read(char[] buffer, int index, int count)
            {
                var taken = Math.Min(count, end - next);
                Array.Copy(chars, next, buffer, index, taken);
                next += taken;
                return taken;
            }

            public override int Peek()
            {
                return next < end ? chars[next] : -1;
            }

            public override int Read()
            {
                return next < end ? chars[next++] : -1;
            }
        }

        /// <summary>The JSON reader's working buffers (its text window and, for texts with
        /// escapes, a buffer to unescape them into), kept per thread.</summary>
        private sealed class CharPool : IArrayPool<char>
        {
            internal static readonly CharPool Instance = new CharPool();

            private const int Slots = 4;
            private const int Largest = 1 << 16;

            [ThreadStatic]
            private static char[][] kept;

            public char[] Rent(int minimumLength)
            {
                var slots = kept ?? (kept = new char [Slots][]);
                for (var i = 0; i < Slots; ++i)
                {
                    var array = slots[i];
                    if (array != null && array.Length >= minimumLength)
                    {
                        slots[i] = null;
                        return array;
                    }
                }
                return new char[minimumLength];
            }

            public void Return(char[] array)
            {
                var slots = kept;
                if (array == null || array.Length > Largest || slots == null)
                {
                    return;
                }
                for (var i = 0; i < Slots; ++i)
                {
                    if (slots[i] == null)
                    {
                        slots[i] = array;
                        return;
                    }
                }
            }
        }
    }
}
