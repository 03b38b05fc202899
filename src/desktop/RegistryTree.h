// One registry root in memory: keys named by backslash-separated paths, each with string
// values, and the line-oriented text it is stored as. Names compare without regard to
// ASCII case and keep the spelling they were created with, as on the original platform.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class RegStatus {
    Ok,
    NotFound,  // the key does not exist
    Denied,    // the key has subkeys, or is the root itself
    Failed,    // the root's file could not be locked, read or written
};

class RegistryTree {
  public:
    RegistryTree();

    // Reads the text form. A line that cannot be understood is skipped, so a damaged file
    // still gives every key and value that can be read. A value's key and a key's
    // ancestors exist even if their own lines were lost.
    static RegistryTree Parse(std::string_view text);
    // The text form: a comment line, then one line per key and per value.
    std::string Serialize() const;

    // The empty path is the root, which always exists. Empty path components are ignored.
    bool HasKey(std::string_view path) const;
    // Creates the key and any missing ancestors; an existing key is left as it is.
    void CreateKey(std::string_view path);
    // Stores a REG_SZ value; the empty name is the key's default value. False when the key
    // does not exist.
    bool SetValue(std::string_view path, std::string_view name, std::string_view data);
    std::optional<std::string> Value(std::string_view path, std::string_view name) const;
    // Deletes a key that has no subkeys (RegDeleteKey): Ok, NotFound or Denied.
    RegStatus DeleteKey(std::string_view path);
    // The names of the key's direct subkeys, in case-insensitive order.
    std::vector<std::string> SubkeyNames(std::string_view path) const;

  private:
    struct Entry {
        std::string name;
        std::string data;
    };
    struct Key {
        std::string path;                     // as first spelled
        std::map<std::string, Entry> values;  // by folded name
    };

    std::map<std::string, Key> keys_;  // by folded path; "" is the root
};
