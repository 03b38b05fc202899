// The user's preferences between runs (window placement, splitter position, title suffix):
// keys of section USERPREFS of "Brimwell.ini", which a profile mapping places in the
// user's part of the registry where the machine allows it. Failures are never reported
// to the caller: reads fall back to the default, writes return nothing.
#pragma once

#include <cstdint>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "desktop/PlatformPaths.h"
#include "desktop/PrivateProfile.h"
#include "desktop/Registry.h"

class SettingsStore {
  public:
    static constexpr const char* kFileName = "Brimwell.ini";
    static constexpr std::size_t kTextBuffer = 80;  // so at most 79 characters come back

    // `out` receives the two registry messages (standard output in the program).
    explicit SettingsStore(const PlatformPaths& paths, std::ostream& out = std::cout);

    // The key's integer, or `defaultValue` when it is absent.
    std::int32_t ReadInt(const std::string& section, const std::string& key,
                         std::int32_t defaultValue);
    // The key's text cut to 79 characters, or `defaultText` (null stands for "").
    std::string ReadString(const std::string& section, const std::string& key,
                           const char* defaultText);
    // EnsureMapping(section), then stores the text.
    void WriteString(const std::string& section, const std::string& key, const std::string& text);
    // The value as signed decimal text ("%ld"), through WriteString.
    void WriteInt(const std::string& section, const std::string& key, std::int32_t value);
    // WriteInt of each (key, value), in order: the mapping is registered before each, and
    // the values are stored as one replacement of their file.
    void WriteInts(const std::string& section,
                   const std::vector<std::pair<std::string, std::int32_t>>& values);
    // Registers the mapping of `section` to the user key "Brimwell\<section>": the mapping
    // value in the machine root, the per-user key "Brimwell", then the profile cache flush.
    // Stops silently when the machine root cannot be written; prints a message when the
    // value or the per-user key cannot be written.
    void EnsureMapping(const std::string& section);

  private:
    Registry registry_;
    PrivateProfile profile_;
    std::ostream& out_;
};
