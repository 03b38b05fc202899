// Our stand-in for the private-profile functions (GetPrivateProfileIntA,
// GetPrivateProfileStringA, WritePrivateProfileStringA and the cache flush) with the
// registry's IniFileMapping entries honoured the way the original platform honours them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop/PlatformPaths.h"
#include "desktop/Registry.h"

// Where mappings live in the machine root; the file name is appended as a subkey.
inline constexpr std::string_view kIniFileMappingKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";

class PrivateProfile {
  public:
    explicit PrivateProfile(const PlatformPaths& paths);

    // A bare file name (no "/") lies in the user's config folder; any other is taken as is.
    std::filesystem::path Resolve(std::string_view fileName) const;

    // The key's integer (see ParseProfileInt); the default when the key is absent or empty.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t defaultValue,
                        std::string_view fileName);
    // The key's text, or `defaultText`, cut to a buffer of `bufferSize` characters.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultText, std::size_t bufferSize,
                          std::string_view fileName);
    // Stores the key's text, atomically and under the file's lock. A value is cut at its first
    // line break, so it can never add lines of its own to the file; one with blanks at either
    // end, or already enclosed in quotes, is written in double quotes so it reads back as is.
    // Refused (false) for names that the file format cannot hold: empty, with a line break, a key
    // with "=" or starting with "[" or ";", a section with "]".
    bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                     std::string_view fileName);
    // WriteString of each (key, value) in order, as one replacement of the file that holds
    // the section: what a file system charges for making a file durable is paid once.
    // Keys the format cannot hold are left out; false when one was, or the write failed.
    bool WriteStrings(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& values,
                      std::string_view fileName);
    // Drops what was learnt about the file's mapping; the next access reads it afresh.
    void FlushCache(std::string_view fileName);

  private:
    struct Mapping {
        RegistryRoot root;
        std::string path;
    };
    // The registry key that holds `section` of a bare `fileName`, when a mapping names one:
    // the value named after the section, else the mapping key's default value; "USR:" means
    // the user root, "SYS:" the machine root's SOFTWARE key. Cached until FlushCache.
    std::optional<Mapping> MappingFor(std::string_view section, std::string_view fileName);
    std::optional<std::string> Find(std::string_view section, std::string_view key,
                                    std::string_view fileName);

    PlatformPaths paths_;
    Registry registry_;
    std::map<std::string, std::optional<Mapping>> mappings_;  // by folded "file\nsection"
};
