// Reading and editing INI text line by line, keeping every line we do not change.
#include "desktop/IniText.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "desktop/AsciiCase.h"

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// One line without its line feed; `body` also without a carriage return before it.
struct Line {
    std::string_view raw;
    std::string_view body;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(start, end - start);
        std::string_view body = raw;
        if (!body.empty() && body.back() == '\r')
            body.remove_suffix(1);
        lines.push_back({raw, body});
        start = end + 1;
    }
    return lines;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string_view> SectionOf(std::string_view body) {
    body = Trim(body);
    if (body.empty() || body.front() != '[')
        return std::nullopt;
    body.remove_prefix(1);
    size_t close = body.find(']');
    return Trim(close == std::string_view::npos ? body : body.substr(0, close));
}

// The key of a "key=value" line, or nothing for comments and lines without "=".
std::optional<std::string_view> KeyOf(std::string_view body) {
    std::string_view trimmed = Trim(body);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    size_t equals = body.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string_view key = Trim(body.substr(0, equals));
    if (key.empty())
        return std::nullopt;
    return key;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    bool inSection = false;
    for (const Line& line : SplitLines(text)) {
        if (auto name = SectionOf(line.body)) {
            inSection = SameAsciiName(*name, section);
            continue;
        }
        auto lineKey = KeyOf(line.body);
        if (!inSection || !lineKey || !SameAsciiName(*lineKey, key))
            continue;
        std::string_view value = Trim(line.body.substr(line.body.find('=') + 1));
        if (value.size() >= 2 && value.front() == value.back() &&
            (value.front() == '"' || value.front() == '\'')) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::vector<Line> lines = SplitLines(text);
    const std::string newLine = std::string(key) + '=' + std::string(value);

    std::optional<size_t> header;
    std::optional<size_t> replace;
    size_t insertAfter = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionOf(lines[i].body)) {
            if (header)
                break;  // the end of the first matching section
            if (SameAsciiName(*name, section))
                header = insertAfter = i;
            continue;
        }
        if (!header)
            continue;
        if (!Trim(lines[i].body).empty())
            insertAfter = i;
        auto lineKey = KeyOf(lines[i].body);
        if (lineKey && SameAsciiName(*lineKey, key)) {
            replace = i;
            break;
        }
    }

    std::string result;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (replace && i == *replace) {
            bool crlf = lines[i].raw.size() != lines[i].body.size();
            result += newLine + (crlf ? "\r\n" : "\n");
        } else {
            result.append(lines[i].raw);
            result += '\n';
        }
        if (header && !replace && i == insertAfter)
            result += newLine + '\n';
    }
    if (!header) {
        if (!result.empty())
            result += '\n';
        result += '[' + std::string(section) + "]\n" + newLine + '\n';
    }
    return result;
}

std::int32_t ParseProfileInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), kMax + 1);
    }
    std::int64_t value = negative ? -magnitude : std::min(magnitude, kMax);
    return static_cast<std::int32_t>(value);
}

std::string FitToBuffer(std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    size_t cut = bufferSize - 1;
    if (text.size() <= cut)
        return std::string(text);
    auto continuation = [&](size_t i) {
        return (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    };
    size_t lead = cut;
    while (lead > 0 && cut - lead < 3 && continuation(lead))
        --lead;
    if (lead < cut && static_cast<unsigned char>(text[lead]) >= 0xC0)
        cut = lead;
    return std::string(text.substr(0, cut));
}
