// Escaping names and writing numbers for scan files.
#include "scanfile/JsonText.h"

#include <charconv>

namespace json_text {

void AppendNumber(std::string& text, std::uint64_t value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

void AppendString(std::string& text, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    text.push_back('"');
    std::size_t run = 0;  // the start of the bytes that need no escape
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        text.append(bytes.substr(run, i - run));
        run = i + 1;
        switch (byte) {
            case '"':
                text.append("\\\"");
                break;
            case '\\':
                text.append("\\\\");
                break;
            case '\n':
                text.append("\\n");
                break;
            case '\t':
                text.append("\\t");
                break;
            case '\r':
                text.append("\\r");
                break;
            case '\b':
                text.append("\\b");
                break;
            case '\f':
                text.append("\\f");
                break;
            default:
                text.append("\\u00");
                text.push_back(kHex[byte >> 4]);
                text.push_back(kHex[byte & 15]);
        }
    }
    text.append(bytes.substr(run));
    text.push_back('"');
}

}  // namespace json_text
