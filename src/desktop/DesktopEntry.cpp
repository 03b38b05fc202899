// Quoting and escaping for desktop entries, as freedesktop.org defines them: the quoting
// rules for Exec arguments first, then the escapes of the string type on top.
#include "desktop/DesktopEntry.h"

#include <string_view>

#include "desktop/AtomicFile.h"

namespace {

bool NeedsQuotes(std::string_view argument) {
    if (argument.empty())
        return true;
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    return argument.find_first_of(kReserved) != std::string_view::npos;
}

std::string QuoteArgument(std::string_view argument) {
    std::string percentDoubled;
    for (char c : argument) {
        percentDoubled += c;
        if (c == '%')
            percentDoubled += '%';
    }
    if (!NeedsQuotes(argument))
        return percentDoubled;
    std::string quoted = "\"";
    for (char c : percentDoubled) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string EscapeString(std::string_view value) {
    std::string escaped;
    for (size_t i = 0; i < value.size(); ++i) {
        switch (value[i]) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            case ' ':
                escaped += i == 0 ? "\\s" : " ";
                break;
            default:
                escaped += value[i];
        }
    }
    return escaped;
}

}  // namespace

std::string FormatExec(const std::vector<ExecArgument>& arguments) {
    std::string exec;
    for (const ExecArgument& argument : arguments) {
        if (!exec.empty())
            exec += ' ';
        exec += argument.fieldCode ? argument.text : QuoteArgument(argument.text);
    }
    return exec;
}

std::string DesktopEntry::Text() const {
    std::string text = "[Desktop Entry]\n";
    for (const auto& [key, value] : fields_)
        text += key + '=' + EscapeString(value) + '\n';
    return text;
}

bool WriteDesktopEntry(const std::filesystem::path& file, const DesktopEntry& entry) {
    const std::string text = entry.Text();
    FileContents current = ReadWholeFile(file);
    if (current.status == FileContents::Status::Ok && current.bytes == text)
        return true;
    return ReplaceFile(file, text);
}
