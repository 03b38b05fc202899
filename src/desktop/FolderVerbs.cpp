// Desktop entries for the folder verbs of the classes root: MimeType inode/directory and
// NoDisplay, so they appear in file managers' menus for folders and nowhere else.
#include "desktop/FolderVerbs.h"

#include <set>
#include <system_error>

namespace {

constexpr std::string_view kEntryPrefix = "brimwell-verb-";
constexpr std::string_view kEntrySuffix = ".desktop";

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

void AppendWords(std::string_view text, std::vector<ExecArgument>& arguments) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            arguments.push_back({std::string(text.substr(start, end - start))});
        start = end + 1;
    }
}

}  // namespace

std::filesystem::path FolderVerbEntryFile(const std::filesystem::path& applications,
                                          std::string_view verb) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name(kEntryPrefix);
    for (char c : verb) {
        auto byte = static_cast<unsigned char>(c);
        bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                     (byte >= '0' && byte <= '9') || byte == '-';
        if (plain) {
            name += c;
        } else {
            name += '_';
            name += kHex[byte >> 4];
            name += kHex[byte & 15];
        }
    }
    name += kEntrySuffix;
    return applications / name;
}

std::vector<ExecArgument> VerbCommandToExec(std::string_view command) {
    size_t at = command.rfind("\"%1\"");
    size_t length = 4;
    if (at == std::string_view::npos) {
        at = command.rfind("%1");
        length = 2;
    }
    const bool hasPlaceholder = at != std::string_view::npos;
    std::string_view program = TrimBlanks(hasPlaceholder ? command.substr(0, at) : command);
    std::string_view rest = hasPlaceholder ? command.substr(at + length) : std::string_view();

    std::vector<ExecArgument> arguments;
    size_t closing = program.size() > 1 ? program.find('"', 1) : std::string_view::npos;
    if (!program.empty() && program.front() == '"' && closing != std::string_view::npos) {
        arguments.push_back({std::string(program.substr(1, closing - 1))});
        AppendWords(program.substr(closing + 1), arguments);
    } else if (!program.empty()) {
        arguments.push_back({std::string(program)});
    }
    if (arguments.empty())
        return arguments;
    if (hasPlaceholder)
        arguments.push_back({"%f", true});
    AppendWords(rest, arguments);
    return arguments;
}

void ReflectFolderVerbs(const RegistryTree& classes, const std::filesystem::path& applications) {
    if (applications.empty())
        return;
    std::set<std::filesystem::path> wanted;
    for (const std::string& verb : classes.SubkeyNames("Folder\\shell")) {
        const std::string key = "Folder\\shell\\" + verb;
        std::optional<std::string> command = classes.Value(key + "\\command", "");
        if (!command)
            continue;
        std::vector<ExecArgument> exec = VerbCommandToExec(*command);
        if (exec.empty())
            continue;
        std::string label = classes.Value(key, "").value_or("");
        DesktopEntry entry;
        entry.Set("Type", "Application");
        entry.Set("Name", label.empty() ? verb : label);
        entry.Set("Exec", FormatExec(exec));
        entry.Set("MimeType", "inode/directory;");
        entry.Set("NoDisplay", "true");
        std::filesystem::path file = FolderVerbEntryFile(applications, verb);
        wanted.insert(file);
        WriteDesktopEntry(file, entry);
    }

    std::vector<std::filesystem::path> stale;
    std::error_code error;
    for (std::filesystem::directory_iterator it(applications, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        bool ours =
            name.size() > kEntryPrefix.size() + kEntrySuffix.size() &&
            name.compare(0, kEntryPrefix.size(), kEntryPrefix) == 0 &&
            name.compare(name.size() - kEntrySuffix.size(), kEntrySuffix.size(), kEntrySuffix) == 0;
        if (ours && wanted.count(it->path()) == 0)
            stale.push_back(it->path());
    }
    for (const auto& file : stale)
        std::filesystem::remove(file, error);
}
