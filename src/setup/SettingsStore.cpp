// Settings through the private-profile stand-in, with the mapping registered before every
// write.
#include "setup/SettingsStore.h"

#include <string>

SettingsStore::SettingsStore(const PlatformPaths& paths, std::ostream& out)
    : registry_(paths), profile_(paths), out_(out) {}

std::int32_t SettingsStore::ReadInt(const std::string& section, const std::string& key,
                                    std::int32_t defaultValue) {
    return profile_.GetInt(section, key, defaultValue, kFileName);
}

std::string SettingsStore::ReadString(const std::string& section, const std::string& key,
                                      const char* defaultText) {
    return profile_.GetString(section, key, defaultText ? defaultText : "", kTextBuffer, kFileName);
}

void SettingsStore::WriteString(const std::string& section, const std::string& key,
                                const std::string& text) {
    EnsureMapping(section);
    profile_.WriteString(section, key, text, kFileName);
}

void SettingsStore::WriteInt(const std::string& section, const std::string& key,
                             std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void SettingsStore::WriteInts(const std::string& section,
                              const std::vector<std::pair<std::string, std::int32_t>>& values) {
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto& [key, value] : values) {
        EnsureMapping(section);
        texts.emplace_back(key, std::to_string(value));
    }
    profile_.WriteStrings(section, texts, kFileName);
}

void SettingsStore::EnsureMapping(const std::string& section) {
    const std::string mappingKey = std::string(kIniFileMappingKey) + '\\' + kFileName;
    if (!registry_.CreateKey(RegistryRoot::Machine, mappingKey))
        return;
    const std::string target = "USR:Brimwell\\" + section;
    if (!registry_.SetValue(RegistryRoot::Machine, mappingKey, section, target)) {
        out_ << "Error in setting Section1 value\n" << std::flush;
        return;
    }
    if (!registry_.CreateKey(RegistryRoot::User, "Brimwell")) {
        out_ << "Error in creating App Name key\n" << std::flush;
        return;
    }
    profile_.FlushCache(kFileName);
}
