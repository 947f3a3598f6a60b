// A strict check of JSON's grammar (RFC 8259), written independently of the writer's library.
// Numbers of any magnitude are grammatical; bytes 0x80 to 0xFF are accepted inside strings, where
// the adapter passes them through unchecked.
#pragma once

#include <cstddef>
#include <string>

namespace VeloFuzz {

class JsonGrammar {
  public:
    static bool Accepts(const std::string& text) {
        JsonGrammar grammar(text);
        grammar.SkipSpace();
        if (!grammar.Value(0)) {
            return false;
        }
        grammar.SkipSpace();
        return grammar.at_ == text.size();
    }

  private:
    explicit JsonGrammar(const std::string& text) : text_(text) {}

    int Peek() const { return at_ < text_.size() ? static_cast<unsigned char>(text_[at_]) : -1; }
    bool Eat(char c) {
        if (Peek() == static_cast<unsigned char>(c)) {
            ++at_;
            return true;
        }
        return false;
    }
    void SkipSpace() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') {
            ++at_;
        }
    }
    bool Literal(const char* word) {
        for (; *word != '\0'; ++word) {
            if (!Eat(*word)) {
                return false;
            }
        }
        return true;
    }
    bool Digits() {
        const std::size_t start = at_;
        while (Peek() >= '0' && Peek() <= '9') {
            ++at_;
        }
        return at_ > start;
    }
    bool Number() {
        Eat('-');
        if (Eat('0')) {
        } else if (Peek() >= '1' && Peek() <= '9') {
            Digits();
        } else {
            return false;
        }
        if (Eat('.') && !Digits()) {
            return false;
        }
        if (Eat('e') || Eat('E')) {
            if (!Eat('+')) {
                Eat('-');
            }
            return Digits();
        }
        return true;
    }
    static bool IsHex(int c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }
    bool String() {
        if (!Eat('"')) {
            return false;
        }
        for (;;) {
            const int c = Peek();
            if (c < 0x20) {
                return false;  // the end of the text, or a raw control byte
            }
            ++at_;
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                continue;
            }
            const int escaped = Peek();
            ++at_;
            if (escaped == 'u') {
                for (int i = 0; i < 4; ++i, ++at_) {
                    if (!IsHex(Peek())) {
                        return false;
                    }
                }
            } else if (std::string("\"\\/bfnrt").find(static_cast<char>(escaped)) ==
                           std::string::npos ||
                       escaped < 0) {
                return false;
            }
        }
    }
    bool Members(int depth, char close, bool keyed) {
        SkipSpace();
        if (Eat(close)) {
            return true;
        }
        for (;;) {
            SkipSpace();
            if (keyed) {
                if (!String()) {
                    return false;
                }
                SkipSpace();
                if (!Eat(':')) {
                    return false;
                }
                SkipSpace();
            }
            if (!Value(depth + 1)) {
                return false;
            }
            SkipSpace();
            if (Eat(close)) {
                return true;
            }
            if (!Eat(',')) {
                return false;
            }
        }
    }
    bool Value(int depth) {
        if (depth > 10000) {
            return false;
        }
        switch (Peek()) {
            case '{':
                ++at_;
                return Members(depth, '}', true);
            case '[':
                ++at_;
                return Members(depth, ']', false);
            case '"':
                return String();
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number();
        }
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace VeloFuzz
