// Profile reads and writes: from the registry where a mapping is in force and the value
// is there, from the INI file otherwise.
#include "desktop/PrivateProfile.h"

#include <cctype>

#include "desktop/AtomicFile.h"
#include "desktop/IniText.h"

#include "desktop/AsciiCase.h"

namespace {

std::string Fold(std::string_view text) {
    return FoldAsciiCase(text);
}

bool IsBare(std::string_view fileName) {
    return fileName.find('/') == std::string_view::npos;
}

bool ValidNames(std::string_view section, std::string_view key) {
    constexpr std::string_view kBreaks = "\r\n";
    if (section.empty() || key.empty())
        return false;
    if (section.find_first_of(kBreaks) != std::string_view::npos)
        return false;
    if (key.find_first_of(kBreaks) != std::string_view::npos)
        return false;
    if (section.find(']') != std::string_view::npos)
        return false;
    if (key.find('=') != std::string_view::npos)
        return false;
    return key.front() != '[' && key.front() != ';';
}

// Reading trims blanks and one pair of enclosing quotes; quoting such a value makes it read
// back exactly as written.
std::string StoredIniValue(std::string_view value) {
    bool outerBlank = !value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                         value.back() == ' ' || value.back() == '\t');
    bool quoted = value.size() >= 2 && value.front() == value.back() &&
                  (value.front() == '"' || value.front() == '\'');
    if (outerBlank || quoted)
        return '"' + std::string(value) + '"';
    return std::string(value);
}

}  // namespace

PrivateProfile::PrivateProfile(const PlatformPaths& paths) : paths_(paths), registry_(paths) {}

std::filesystem::path PrivateProfile::Resolve(std::string_view fileName) const {
    if (IsBare(fileName))
        return paths_.configHome / std::string(fileName);
    return std::filesystem::path(std::string(fileName));
}

std::optional<PrivateProfile::Mapping> PrivateProfile::MappingFor(std::string_view section,
                                                                  std::string_view fileName) {
    if (!IsBare(fileName))
        return std::nullopt;
    const std::string cacheKey = Fold(fileName) + '\n' + Fold(section);
    if (auto cached = mappings_.find(cacheKey); cached != mappings_.end())
        return cached->second;

    const std::string key = std::string(kIniFileMappingKey) + '\\' + std::string(fileName);
    std::optional<std::string> target = registry_.GetValue(RegistryRoot::Machine, key, section);
    if (!target)
        target = registry_.GetValue(RegistryRoot::Machine, key, "");
    std::optional<Mapping> mapping;
    if (target && target->rfind("USR:", 0) == 0) {
        mapping = Mapping{RegistryRoot::User, target->substr(4)};
    } else if (target && target->rfind("SYS:", 0) == 0) {
        mapping = Mapping{RegistryRoot::Machine, "SOFTWARE\\" + target->substr(4)};
    }
    mappings_[cacheKey] = mapping;
    return mapping;
}

void PrivateProfile::FlushCache(std::string_view fileName) {
    const std::string prefix = Fold(fileName) + '\n';
    for (auto it = mappings_.lower_bound(prefix);
         it != mappings_.end() && it->first.rfind(prefix, 0) == 0;) {
        it = mappings_.erase(it);
    }
}

std::optional<std::string> PrivateProfile::Find(std::string_view section, std::string_view key,
                                                std::string_view fileName) {
    if (auto mapping = MappingFor(section, fileName)) {
        if (auto value = registry_.GetValue(mapping->root, mapping->path, key))
            return value;
    }
    return FindIniValue(ReadWholeFile(Resolve(fileName)).bytes, section, key);
}

std::int32_t PrivateProfile::GetInt(std::string_view section, std::string_view key,
                                    std::int32_t defaultValue, std::string_view fileName) {
    std::optional<std::string> value = Find(section, key, fileName);
    if (!value || value->find_first_not_of(" \t") == std::string::npos)
        return defaultValue;
    return ParseProfileInt(*value);
}

std::string PrivateProfile::GetString(std::string_view section, std::string_view key,
                                      std::string_view defaultText, std::size_t bufferSize,
                                      std::string_view fileName) {
    std::optional<std::string> value = Find(section, key, fileName);
    return FitToBuffer(value ? std::string_view(*value) : defaultText, bufferSize);
}

bool PrivateProfile::WriteString(std::string_view section, std::string_view key,
                                 std::string_view value, std::string_view fileName) {
    return WriteStrings(section, {{std::string(key), std::string(value)}}, fileName);
}

bool PrivateProfile::WriteStrings(std::string_view section,
                                  const std::vector<std::pair<std::string, std::string>>& values,
                                  std::string_view fileName) {
    std::vector<std::pair<std::string, std::string>> accepted;
    for (const auto& [key, value] : values) {
        if (ValidNames(section, key))
            accepted.emplace_back(key, value.substr(0, value.find_first_of("\r\n")));
    }
    if (accepted.empty())
        return false;
    const bool allAccepted = accepted.size() == values.size();
    if (auto mapping = MappingFor(section, fileName))
        return registry_.SetValues(mapping->root, mapping->path, accepted) && allAccepted;
    const bool written = UpdateFile(Resolve(fileName), [&](std::string_view current) {
        std::string text(current);
        for (const auto& [key, value] : accepted)
            text = SetIniValue(text, section, key, StoredIniValue(value));
        return std::optional<std::string>(std::move(text));
    });
    return written && allAccepted;
}
