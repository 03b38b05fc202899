// JSON read byte by byte through the input's cursor, with RapidJSON's messages for faults.
#include "scanfile/JsonTokens.h"

#include <algorithm>
#include <vector>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& text, std::uint32_t code) {
    if (code < 0x80) {
        text.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        text.push_back(static_cast<char>(0xC0 | code >> 6));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | code >> 12));
        text.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | code >> 18));
        text.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

bool JsonTokens::Fail(const char* fault) {
    fault_ = fault;
    return false;
}

// The cursor reads '\0' at the end of the input; a zero byte in the file reads the same.
bool JsonTokens::AtEndOfInput() const {
    return cursor_.Peek() == '\0' &&
           (input_.AtEnd() || input_.Stopped() || !input_.Failure().empty());
}

bool JsonTokens::AtZeroByte() const {
    return cursor_.Peek() == '\0' && !AtEndOfInput();
}

JsonTokens::Token JsonTokens::Read() {
    char c = cursor_.Peek();
    while (IsSpace(c)) {
        cursor_.Take();
        c = cursor_.Peek();
    }
    switch (c) {
        case '[':
            cursor_.Take();
            return Token::BeginArray;
        case ']':
            cursor_.Take();
            return Token::EndArray;
        case '{':
            cursor_.Take();
            return Token::BeginObject;
        case '}':
            cursor_.Take();
            return Token::EndObject;
        case ',':
            cursor_.Take();
            return Token::Comma;
        case ':':
            cursor_.Take();
            return Token::Colon;
        case '"':
            cursor_.Take();
            return ReadString() ? Token::String : Token::Bad;
        case 't':
            return ReadWord("true") ? Token::True : Token::Bad;
        case 'f':
            return ReadWord("false") ? Token::False : Token::Bad;
        case 'n':
            return ReadWord("null") ? Token::Null : Token::Bad;
        default:
            if (c == '-' || IsDigit(c))
                return ReadNumber() ? Token::Number : Token::Bad;
            if (AtEndOfInput())
                return Token::End;
            Fail("not valid JSON: Invalid value.");
            return Token::Bad;
    }
}

bool JsonTokens::ReadWord(const char* word) {
    for (const char* letter = word; *letter; ++letter) {
        if (cursor_.Peek() != *letter)
            return Fail("not valid JSON: Invalid value.");
        cursor_.Take();
    }
    return true;
}

bool JsonTokens::ReadNumber() {
    text_.clear();
    auto digits = [this] {
        if (!IsDigit(cursor_.Peek()))
            return false;
        while (IsDigit(cursor_.Peek()))
            text_.push_back(cursor_.Take());
        return true;
    };
    if (cursor_.Peek() == '-')
        text_.push_back(cursor_.Take());
    if (cursor_.Peek() == '0')
        text_.push_back(cursor_.Take());
    else if (!digits())
        return Fail("not valid JSON: Invalid value.");
    if (cursor_.Peek() == '.') {
        text_.push_back(cursor_.Take());
        if (!digits())
            return Fail("not valid JSON: Missing fraction part in number.");
    }
    if (cursor_.Peek() == 'e' || cursor_.Peek() == 'E') {
        text_.push_back(cursor_.Take());
        if (cursor_.Peek() == '+' || cursor_.Peek() == '-')
            text_.push_back(cursor_.Take());
        if (!digits())
            return Fail("not valid JSON: Missing exponent in number.");
    }
    return true;
}

// After the opening quotation mark.
bool JsonTokens::ReadString() {
    text_.clear();
    for (;;) {
        // The bytes up to the next quotation mark, backslash or control character, within
        // the block being read, go over at once: most strings are nothing else.
        const char* run = cursor_.current;
        while (cursor_.current < cursor_.last) {
            auto byte = static_cast<unsigned char>(*cursor_.current);
            if (byte < 0x20 || byte == '"' || byte == '\\')
                break;
            ++cursor_.current;
        }
        if (cursor_.current != run)
            text_.append(run, std::min<std::size_t>(cursor_.current - run,
                                                    kLongest - std::min(kLongest, text_.size())));
        char c = cursor_.Peek();
        if (c == '"') {
            cursor_.Take();
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            if (AtEndOfInput())
                return Fail("");  // the caller says how the input ended
            return Fail("not valid JSON: Invalid encoding in string.");
        }
        cursor_.Take();
        if (c == '\\') {
            if (!ReadEscape())
                return false;
        } else if (text_.size() < kLongest) {
            text_.push_back(c);
        }
    }
}

// After a backslash in a string. An escape that the end of the input cuts short is a file
// cut short, not a bad escape: the caller says how the input ended.
bool JsonTokens::ReadEscape() {
    if (AtEndOfInput())
        return Fail("");
    std::uint32_t code = 0;
    char escape = cursor_.Take();
    switch (escape) {
        case '"':
        case '\\':
        case '/':
            code = static_cast<unsigned char>(escape);
            break;
        case 'b':
            code = '\b';
            break;
        case 'f':
            code = '\f';
            break;
        case 'n':
            code = '\n';
            break;
        case 'r':
            code = '\r';
            break;
        case 't':
            code = '\t';
            break;
        case 'u': {
            auto unit = [this]() -> int {
                int value = 0;
                for (int i = 0; i < 4; ++i) {
                    int digit = HexValue(cursor_.Peek());
                    if (digit < 0)
                        return -1;
                    cursor_.Take();
                    value = value * 16 + digit;
                }
                return value;
            };
            int high = unit();
            if (high < 0 && AtEndOfInput())
                return Fail("");
            if (high < 0)
                return Fail("not valid JSON: Incorrect hex digit after \\u escape in string.");
            code = static_cast<std::uint32_t>(high);
            if (high >= 0xDC00 && high <= 0xDFFF)
                return Fail("not valid JSON: The surrogate pair in string is invalid.");
            if (high >= 0xD800 && high <= 0xDBFF) {
                int low = -1;
                if (cursor_.Peek() == '\\') {
                    cursor_.Take();
                    if (cursor_.Take() == 'u')
                        low = unit();
                }
                if (low < 0 && AtEndOfInput())
                    return Fail("");
                if (low < 0xDC00 || low > 0xDFFF)
                    return Fail("not valid JSON: The surrogate pair in string is invalid.");
                code = 0x10000 + ((code - 0xD800) << 10) + static_cast<std::uint32_t>(low - 0xDC00);
            }
            break;
        }
        default:
            return Fail("not valid JSON: Invalid escape character in string.");
    }
    if (text_.size() < kLongest)
        AppendUtf8(text_, code);
    return true;
}

bool JsonTokens::SkipValue(Token first) {
    enum class Expecting { Value, Key, Colon, More };
    std::vector<Token> open;  // BeginArray or BeginObject
    auto closing = [&open] {
        return open.back() == Token::BeginArray ? Token::EndArray : Token::EndObject;
    };
    auto inside = [&open] {
        return open.back() == Token::BeginArray ? Expecting::Value : Expecting::Key;
    };
    Token token = first;
    Expecting expecting = Expecting::Value;
    for (;;) {
        if (token == Token::End)
            return Fail("the file ends before the export does");
        if (token == Token::Bad)
            return false;
        bool fits = true;
        switch (expecting) {
            case Expecting::Value:
                if (token == Token::BeginArray || token == Token::BeginObject) {
                    open.push_back(token);
                    token = Read();
                    if (token == closing()) {
                        open.pop_back();
                        expecting = Expecting::More;
                        break;
                    }
                    expecting = inside();
                    continue;
                }
                fits = token == Token::String || token == Token::Number || token == Token::True ||
                       token == Token::False || token == Token::Null;
                expecting = Expecting::More;
                break;
            case Expecting::Key:
                fits = token == Token::String;
                expecting = Expecting::Colon;
                break;
            case Expecting::Colon:
                fits = token == Token::Colon;
                expecting = Expecting::Value;
                break;
            case Expecting::More:
                if (token == Token::Comma) {
                    expecting = inside();
                } else {
                    fits = token == closing();
                    open.pop_back();
                }
                break;
        }
        if (!fits)
            return Fail("not valid JSON: a value, a comma or a bracket is out of place");
        if (expecting == Expecting::More && open.empty())
            return true;
        token = Read();
    }
}
