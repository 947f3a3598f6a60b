#include "Scenario.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "PositionedJson.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace Corvan {
namespace Velo {
namespace StandIn {

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> operations = {
        {"VeloLogin", "Login", "ssss"},
        {"VeloLogin", "AutoLogin", ""},
        {"VeloLogin", "Logout", "ssb"},
        {"VeloLogin", "Bind", "ssss"},
        {"VeloLogin", "CanBind", "sss"},
        {"VeloLogin", "LoginWithConfirmCode", "iss"},
        {"VeloLogin", "PreLoadParleyLibrary", ""},
        {"VeloLogin", "SetInstallChannel", "s"},
        {"VeloLogin", "OnRealNameAuthFinished", "sssb"},
        {"VeloLogin", "UnInstall", ""},
        {"VeloLogin", "GetLoginRet", ""},
        {"VeloAccount", "RequestVerifyCode", "ssiisss"},
        {"VeloAccount", "ResetPassword", "sisssiisss"},
        {"VeloAccount", "Modify", "sisiiississss"},
        {"VeloAccount", "GetRegisterStatus", "ssisss"},
        {"VeloAccount", "GetVerifyCodeStatus", "ssiiisss"},
        {"VeloAccount", "GetReceiveEmail", "ssisss"},
        {"VeloAccount", "VerifyPassword", "sssisss"},
        {"VeloNotice", "LoadNoticeData", "ssiss"},
        {"VeloWebView", "OpenUrl", "sibbsb"},
        {"VeloWebView", "GetEncodeUrl", "s"},
        {"VeloWebView", "CallJS", "s"},
        {"VeloWebView", "OpenOxaCenter", "ssssssis"},
        {"VeloWebView", "OpenDeleteAccountUrl", "sibs"},
        {"VeloWebView", "Close", ""},
        {"VeloTools", "SetLanguage", "c"},
        {"VeloTools", "SetRegion", "ccc"},
    };
    return operations;
}

namespace {

// Records nest four levels (a notice's pictures) below the four of the scenario around them.
constexpr unsigned kDeepestScenario = 64;
constexpr Millis kLongestDelay = 3600000;

bool Named(const Operation& operation, const char* name) {
    return std::strcmp(operation.name, name) == 0;
}

// Reads the document of a scenario strictly, noting which part it is in, so that a refusal
// names its place in the text and its path in the document.
class Reader {
  public:
    Reader(const PositionedJson& json, const std::string& name) : json_(json), name_(name) {}

    std::shared_ptr<Scenario> Read() {
        try {
            return ReadScenario(json_.document());
        } catch (const MemberRefused& e) {
            Refuse(*e.at, e.what());
        }
    }

  private:
    [[noreturn]] void Refuse(const Json& at, const std::string& reason) const {
        const Place place = json_.PlaceOf(at);
        throw ScenarioRefused(name_ + ":" + std::to_string(place.line) + ":" +
                              std::to_string(place.column) + ": " +
                              (path_.empty() ? "" : "in " + path_ + ": ") + reason);
    }

    std::shared_ptr<Scenario> ReadScenario(const Json& root) {
        const JsonMembers json(root, true);
        auto scenario = std::make_shared<Scenario>();
        const Json* version = json.Find("scenario");
        if (version == nullptr || !version->IsInt() || version->GetInt() != 1) {
            Refuse(version != nullptr ? *version : root,
                   "expected \"scenario\": 1, the version of the format this stand-in plays" +
                       (version != nullptr ? ", found " + Describe(*version) : std::string()));
        }
        // Texts for people and editors: what the scenario is about, and where its schema is.
        for (const char* key : {"description", "$schema"}) {
            if (const Json* text = json.Find(key)) {
                json.Takes(*text, key, text->IsString(), "a text");
            }
        }
        if (const Json* unmatched = json.Find("unmatched")) {
            scenario->unmatched = ReadOutcome(*unmatched, "unmatched", "answer", Outcome::Answer);
        }
        if (const Json* login = json.Find("loginRet")) {
            path_ = "loginRet";
            scenario->loginRet = ReadLoginRecord(*login);
            path_.clear();
        }
        ReadText(json, "noticeData", scenario->noticeData);
        ReadText(json, "encodeUrl", scenario->encodeUrl);
        if (const Json* rules = json.Find("rules")) {
            json.Takes(*rules, "rules", rules->IsArray(), "a list of rules");
            for (rapidjson::SizeType i = 0; i < rules->Size(); ++i) {
                path_ = "rules[" + std::to_string(i) + "]";
                scenario->rules.push_back(ReadRule((*rules)[i]));
            }
        }
        path_.clear();
        json.Finish();
        return scenario;
    }

    static void ReadText(const JsonMembers& json, const char* key,
                         std::optional<std::string>& out) {
        if (const Json* text = json.Find(key)) {
            json.Takes(*text, key, text->IsString(), "a text");
            out.emplace(text->GetString(), text->GetStringLength());
        }
    }

    // "drop", "refuse", or the word that stands for answering: "answer" for what is done with
    // unmatched requests; none where a rule answers with a list.
    Outcome ReadOutcome(const Json& value, const char* key, const char* answer,
                        Outcome answered) const {
        const std::string word = value.IsString() ? value.GetString() : "";
        if (word == "drop") {
            return Outcome::Drop;
        }
        if (word == "refuse") {
            return Outcome::Refuse;
        }
        if (answer != nullptr && word == answer) {
            return answered;
        }
        Refuse(value, std::string("\"") + key + "\": expected " +
                          (answer != nullptr ? "\"answer\", \"drop\" or \"refuse\""
                                             : "a list of results, \"drop\" or \"refuse\"") +
                          ", found " + Describe(value));
    }

    VeloLoginRet ReadLoginRecord(const Json& value) const {
        return std::get<VeloLoginRet>(ReadResult(ResultKind::Login, value, true));
    }

    Rule ReadRule(const Json& value) {
        const JsonMembers json(value, true);
        Rule rule;
        const Json* name = json.Find("operation");
        if (name == nullptr) {
            Refuse(value, "expected \"operation\", the core operation the rule answers");
        }
        rule.operation = OperationNamed(*name);
        const Operation& operation = Operations()[rule.operation];
        if (const Json* args = json.Find("args")) {
            ReadArgs(json, *args, operation, rule);
        }
        if (const Json* times = json.Find("times")) {
            json.Takes(*times, "times", times->IsUint() && times->GetUint() >= 1,
                       "a whole number from 1");
            rule.times = times->GetUint();
        }
        const Json* answer = json.Find("answer");
        if (answer == nullptr) {
            Refuse(value, "expected \"answer\": a list of results, \"drop\" or \"refuse\"");
        }
        if (answer->IsArray() && !answer->Empty()) {
            const std::string rulePath = path_;
            for (rapidjson::SizeType i = 0; i < answer->Size(); ++i) {
                path_ = rulePath + ".answer[" + std::to_string(i) + "]";
                rule.answers.push_back(ReadAnswer((*answer)[i]));
            }
            path_ = rulePath;
        } else {
            rule.outcome = ReadOutcome(*answer, "answer", nullptr, Outcome::Answer);
        }
        if (const Json* returns = json.Find("returns")) {
            const std::string rulePath = path_;
            path_ += ".returns";
            rule.returns = ReadReturns(*returns, operation);
            path_ = rulePath;
        }
        json.Finish();
        return rule;
    }

    std::size_t OperationNamed(const Json& name) const {
        const std::string text = name.IsString() ? name.GetString() : "";
        const std::vector<Operation>& operations = Operations();
        for (std::size_t i = 0; i < operations.size(); ++i) {
            if (text == std::string(operations[i].facade) + "." + operations[i].name) {
                return i;
            }
        }
        Refuse(name,
               "\"operation\": expected one of the core's operations, named as "
               "\"VeloLogin.Login\", found " +
                   (name.IsString() ? "\"" + text + "\"" : Describe(name)));
    }

    void ReadArgs(const JsonMembers& json, const Json& args, const Operation& operation,
                  Rule& rule) const {
        const std::size_t count = std::strlen(operation.parameters);
        json.Takes(args, "args", args.IsArray() && args.Size() <= count,
                   ("a list of at most " + std::to_string(count) + " arguments").c_str());
        for (rapidjson::SizeType i = 0; i < args.Size(); ++i) {
            const Json& arg = args[i];
            const char kind = operation.parameters[i];
            const bool text = kind == 's' || kind == 'c';
            const bool fits = arg.IsNull() || (text && arg.IsString()) ||
                              (kind == 'i' && arg.IsInt()) || (kind == 'b' && arg.IsBool());
            if (!fits) {
                Refuse(arg, "argument " + std::to_string(i + 1) + " of " + operation.name +
                                ": expected " +
                                (text          ? "a text"
                                 : kind == 'i' ? "a whole number from -2147483648 to 2147483647"
                                               : "true or false") +
                                " or null (any), found " + Describe(arg));
            }
            auto& match = rule.args.emplace_back();
            if (arg.IsString()) {
                match.emplace(std::string(arg.GetString(), arg.GetStringLength()));
            } else if (arg.IsInt()) {
                match.emplace(arg.GetInt());
            } else if (arg.IsBool()) {
                match.emplace(arg.GetBool());
            }
        }
    }

    ScriptedAnswer ReadAnswer(const Json& value) {
        const JsonMembers json(value, true);
        ScriptedAnswer answer;
        if (const Json* delay = json.Find("delayMs")) {
            json.Takes(
                *delay, "delayMs",
                delay->IsInt64() && delay->GetInt64() >= 0 && delay->GetInt64() <= kLongestDelay,
                "a whole number of milliseconds from 0 to 3600000");
            answer.delay = delay->GetInt64();
        }
        const Json* kind = json.Find("kind");
        if (kind == nullptr) {
            Refuse(value, "expected \"kind\": login, base, qrcode, account, notice or webview");
        }
        ResultKind resultKind = ResultKind::Base;
        try {
            resultKind = ResultKindNamed(kind->IsString() ? kind->GetString() : "");
        } catch (const std::invalid_argument& e) {
            Refuse(*kind,
                   std::string("\"kind\": ") +
                       (kind->IsString() ? e.what() : "expected a text, found " + Describe(*kind)));
        }
        const Json* record = json.Find("record");
        const Json empty(rapidjson::kObjectType);
        const std::string answerPath = path_;
        path_ += ".record";
        answer.record = ReadResult(resultKind, record != nullptr ? *record : empty, true);
        path_ = answerPath;
        json.Finish();
        return answer;
    }

    ImmediateReturn ReadReturns(const Json& value, const Operation& operation) {
        if (Named(operation, "GetLoginRet")) {
            return ReadLoginRecord(value);
        }
        if (!Named(operation, "LoadNoticeData") && !Named(operation, "GetEncodeUrl")) {
            Refuse(value, std::string(operation.name) +
                              " returns nothing (only GetLoginRet, LoadNoticeData and "
                              "GetEncodeUrl do)");
        }
        if (!value.IsString()) {
            Refuse(value, "expected a text, found " + Describe(value));
        }
        return std::string(value.GetString(), value.GetStringLength());
    }

    const PositionedJson& json_;
    const std::string& name_;
    std::string path_;
};

bool Matches(const std::optional<std::variant<std::string, int, bool>>& match,
             const RecordedArg& arg) {
    if (!match) {
        return true;
    }
    switch (arg.kind) {
        case RecordedArg::Kind::Text:
        case RecordedArg::Kind::CText: {
            // A null C text matches no text; a String always has its bytes.
            const std::string* text = std::get_if<std::string>(&*match);
            return text != nullptr && !(arg.kind == RecordedArg::Kind::CText && arg.null) &&
                   *text == arg.bytes;
        }
        case RecordedArg::Kind::Int:
            return std::get_if<int>(&*match) != nullptr && std::get<int>(*match) == arg.integer;
        case RecordedArg::Kind::Flag:
            return std::get_if<bool>(&*match) != nullptr && std::get<bool>(*match) == arg.flag;
    }
    return false;
}

std::string TooLarge(const std::string& size) {
    return size + ", more than the " + std::to_string(kLargestScenario >> 20) +
           " MiB a scenario may have";
}

// The whole file at `path`, at most kLargestScenario bytes.
std::string ReadWholeFile(const std::string& path) {
#if defined(_WIN32)
    // UTF-8 names reach the file system as the UTF-16 ones Windows takes.
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS,
                                                                   path.c_str(), -1, nullptr, 0)),
                      L'\0');
    std::FILE* file = nullptr;
    if (!wide.empty() && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1,
                                             wide.data(), static_cast<int>(wide.size())) > 0) {
        _wfopen_s(&file, wide.c_str(), L"rb");
    }
#else
    std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
    if (file == nullptr) {
        throw ScenarioRefused(path +
                              ": cannot be opened: " + std::generic_category().message(errno));
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closing(file, &std::fclose);
    // A longer file is refused before any of it is read.
    const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    if (size < 0 || static_cast<unsigned long>(size) > kLargestScenario) {
        throw ScenarioRefused(path + ": " +
                              TooLarge(size < 0 ? "over 2 GiB" : std::to_string(size) + " bytes"));
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    std::rewind(file);
    if (std::fread(text.data(), 1, text.size(), file) != text.size()) {
        throw ScenarioRefused(path + ": cannot be read");
    }
    return text;
}

}  // namespace

std::shared_ptr<Scenario> Scenario::Read(const char* text, std::size_t length,
                                         const std::string& name) {
    if (length > kLargestScenario) {
        throw ScenarioRefused(name + ": " + TooLarge(std::to_string(length) + " bytes"));
    }
    try {
        const PositionedJson json(text, length, kDeepestScenario);
        std::shared_ptr<Scenario> scenario = Reader(json, name).Read();
        scenario->used_.assign(scenario->rules.size(), 0);
        return scenario;
    } catch (const JsonTextRefused& e) {
        throw ScenarioRefused(name + ":" + std::to_string(e.place.line) + ":" +
                              std::to_string(e.place.column) + ": " + e.what());
    }
}

std::shared_ptr<Scenario> Scenario::ReadFile(const std::string& path) {
    const std::string text = ReadWholeFile(path);
    return Read(text.data(), text.size(), path);
}

const Rule* Scenario::Match(const std::string& operation, const std::vector<RecordedArg>& args) {
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const Rule& rule = rules[i];
        if (operation != Operations()[rule.operation].name ||
            (rule.times && used_[i] >= *rule.times)) {
            continue;
        }
        bool matches = true;
        for (std::size_t a = 0; a < rule.args.size() && matches; ++a) {
            matches = a < args.size() && Matches(rule.args[a], args[a]);
        }
        if (matches) {
            ++used_[i];
            return &rule;
        }
    }
    return nullptr;
}

}  // namespace StandIn
}  // namespace Velo
}  // namespace Corvan
