// The records of the native benchmark, as the stand-in core takes them: the adapter writes the
// same texts from them.
using System.Collections.Generic;
using System.Linq;
using Newtonsoft.Json;

internal static class Records
{
    private static Dictionary<string, object> Succeeded(int methodNameID)
    {
        return new Dictionary<string, object> {
            { "methodNameID", methodNameID },
            { "retCode", 0 },
            { "retMsg", "success" },
            { "ret", 0 },
        };
    }

    private static string With(Dictionary<string, object> record,
                               Dictionary<string, object> members)
    {
        foreach (var member in members)
        {
            record[member.Key] = member.Value;
        }
        return JsonConvert.SerializeObject(record);
    }

    private static string Paragraph(int seed)
    {
        return "Dear players,\n\nthe \"Winter Festival\" starts on day " + seed +
               ". Log in daily to collect snowflakes and trade them for the \"Frost Crown\" at " +
               "the event shop.\nMaintenance runs from 04:00 to 06:00 UTC; servers are closed " +
               "meanwhile.\nThank you for playing!";
    }

    internal static string Login()
    {
        return With(Succeeded(101), new Dictionary<string, object> {
            { "extraJson", "{\"session\":\"5c2f\",\"region\":\"EU\"}" },
            { "openid", "7301952866427190" },
            { "token", "b3e1c6f0a94d27d5b3e1c6f0a94d27d5" },
            { "token_expire_time", 4102444800L },
            { "user_name", "Player \"One\"" },
            { "picture_url", "https://cdn.example.com/avatars/7301952866427190.png" },
            { "pf", "velo_pc" },
            { "pfKey", "5f2a1c9e" },
            { "channelid", 3 },
            { "channel", "Guest" },
            { "bind_list",
              "[{\"channel\":\"Guest\",\"channelid\":3},{\"channel\":\"Mail\",\"channelid\":5}]" },
        });
    }

    internal static string Base()
    {
        return With(Succeeded(103), new Dictionary<string, object> {
            { "msg", "logged out" },
            { "extraJson", "{\"reason\":\"user\"}" },
        });
    }

    internal static string QrCode()
    {
        return With(Succeeded(111), new Dictionary<string, object> {
            { "channelID", 9 },
            { "channel", "QR" },
            { "qrCodeUrl", "https://login.example.com/qr?ticket=9f86d081884c7d65&lang=en" },
        });
    }

    internal static string Account()
    {
        return With(Succeeded(201), new Dictionary<string, object> {
            { "channelID", 5 },
            { "channel", "Mail" },
            { "seq", "req-0001" },
            { "user_name", "player@example.com" },
            { "uid", "7301952866427190" },
            { "token", "b3e1c6f0a94d27d5" },
            { "expiretime", "2026-12-31T23:59:59Z" },
            { "expire_time", 60 },
            { "is_register", 1 },
        });
    }

    internal static string WebView()
    {
        return With(Succeeded(401), new Dictionary<string, object> {
            { "msgType", 1 },
            { "msgJsonData",
              "{\"event\":\"progress\",\"detail\":{\"loaded\":4096,\"total\":16384}}" },
            { "embedProgress", 0.25 },
            { "embedUrl", "https://example.com/news?id=42" },
        });
    }

    internal static string Notices(int count)
    {
        var notices =
            Enumerable.Range(0, count)
                .Select(n => new Dictionary<string, object> {
                    { "notice_id", 1000 + n },
                    { "notice_type", 1 },
                    { "notice_group", "event" },
                    { "start_time", 1798761600 },
                    { "end_time", 1798848000 },
                    { "update_time", 1798700000 },
                    { "order", n },
                    { "content_type", 2 },
                    { "language", "en" },
                    { "notice_text_obj",
                      new Dictionary<string, object> {
                          { "notice_title", "Winter Festival \"" + n + "\"" },
                          { "notice_content", Paragraph(n) },
                          { "notice_redirect_url", "https://example.com/events/winter" }
                      } },
                    { "notice_pic_list", Enumerable.Range(0, 3)
                                             .Select(p => new Dictionary<string, object> {
                                                 { "pic_url", "https://cdn.example.com/notices/" +
                                                                  n + "/" + p + ".png" },
                                                 { "pic_hash", "9f86d081884c7d659a2feaa0c55ad015" },
                                                 { "pic_title", "Banner \"" + p + "\"" },
                                                 { "pic_size", "1024x512" },
                                                 { "pic_dir", p },
                                             })
                                             .ToArray() },
                    { "notice_web_url", "https://example.com/notices/" + n },
                    { "extra_data", "{\"priority\":2,\"tags\":[\"event\",\"winter\"]}" },
                })
                .ToArray();
        return With(Succeeded(301), new Dictionary<string, object> { { "notice_list", notices } });
    }
}
