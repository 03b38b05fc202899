// The registry's in-memory tree and its text form. Each line stands alone:
//   key<TAB>PATH
//   value<TAB>PATH<TAB>NAME<TAB>DATA
// with "%", tab, line feed and carriage return written as %25, %09, %0A and %0D, so
// names and data may hold any byte and one damaged line never spoils another.
#include "desktop/RegistryTree.h"

#include <cctype>

#include "desktop/AsciiCase.h"

namespace {

std::string Fold(std::string_view text) {
    return FoldAsciiCase(text);
}

// Drops empty components: "\a\\b\" names the same key as "a\b".
std::string NormalPath(std::string_view path) {
    std::string normal;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start) {
            if (!normal.empty())
                normal += '\\';
            normal.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return normal;
}

std::string Escape(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '%':
                escaped += "%25";
                break;
            case '\t':
                escaped += "%09";
                break;
            case '\n':
                escaped += "%0A";
                break;
            case '\r':
                escaped += "%0D";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = HexDigit(text[i + 1]);
        int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        plain += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return plain;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t end = line.find('\t', start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos)
            return fields;
        start = end + 1;
    }
}

}  // namespace

RegistryTree::RegistryTree() {
    keys_[""] = Key{};
}

bool RegistryTree::HasKey(std::string_view path) const {
    return keys_.count(Fold(NormalPath(path))) != 0;
}

void RegistryTree::CreateKey(std::string_view path) {
    const std::string normal = NormalPath(path);
    size_t end = 0;
    while (end != std::string::npos) {
        end = normal.find('\\', end + 1);
        std::string prefix = normal.substr(0, end);
        auto [slot, added] = keys_.try_emplace(Fold(prefix));
        if (added)
            slot->second.path = prefix;
    }
}

bool RegistryTree::SetValue(std::string_view path, std::string_view name, std::string_view data) {
    auto key = keys_.find(Fold(NormalPath(path)));
    if (key == keys_.end())
        return false;
    Entry& entry = key->second.values[Fold(name)];
    if (entry.name.empty())
        entry.name = std::string(name);
    entry.data = std::string(data);
    return true;
}

std::optional<std::string> RegistryTree::Value(std::string_view path, std::string_view name) const {
    auto key = keys_.find(Fold(NormalPath(path)));
    if (key == keys_.end())
        return std::nullopt;
    auto entry = key->second.values.find(Fold(name));
    if (entry == key->second.values.end())
        return std::nullopt;
    return entry->second.data;
}

RegStatus RegistryTree::DeleteKey(std::string_view path) {
    const std::string folded = Fold(NormalPath(path));
    if (folded.empty())
        return RegStatus::Denied;
    auto key = keys_.find(folded);
    if (key == keys_.end())
        return RegStatus::NotFound;
    // Every descendant sorts at or after "PATH\"; keys such as "PATH x" may sit in between.
    const std::string prefix = folded + '\\';
    auto first = keys_.lower_bound(prefix);
    if (first != keys_.end() && first->first.rfind(prefix, 0) == 0)
        return RegStatus::Denied;
    keys_.erase(key);
    return RegStatus::Ok;
}

std::vector<std::string> RegistryTree::SubkeyNames(std::string_view path) const {
    const std::string folded = Fold(NormalPath(path));
    const std::string prefix = folded.empty() ? "" : folded + '\\';
    std::vector<std::string> names;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        if (it->first.rfind(prefix, 0) != 0)
            break;
        if (it->first.size() == prefix.size())
            continue;  // the root itself
        if (it->first.find('\\', prefix.size()) != std::string::npos)
            continue;
        names.push_back(it->second.path.substr(prefix.size()));
    }
    return names;
}

RegistryTree RegistryTree::Parse(std::string_view text) {
    RegistryTree tree;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::vector<std::string_view> fields = SplitTabs(line);
        std::vector<std::string> plain;
        for (std::string_view field : fields) {
            auto unescaped = Unescape(field);
            if (!unescaped)
                break;
            plain.push_back(*unescaped);
        }
        if (plain.size() != fields.size())
            continue;
        if (plain.size() == 2 && plain[0] == "key") {
            tree.CreateKey(plain[1]);
        } else if (plain.size() == 4 && plain[0] == "value") {
            tree.CreateKey(plain[1]);
            tree.SetValue(plain[1], plain[2], plain[3]);
        }
    }
    return tree;
}

std::string RegistryTree::Serialize() const {
    std::string text = "# Brimwell registry: one key or value per line, written by Brimwell.\n";
    for (const auto& [folded, key] : keys_) {
        if (!folded.empty())
            text += "key\t" + Escape(key.path) + '\n';
        for (const auto& [foldedName, entry] : key.values) {
            text += "value\t" + Escape(key.path) + '\t' + Escape(entry.name) + '\t' +
                    Escape(entry.data) + '\n';
        }
    }
    return text;
}
