// Our stand-in for the system registry: three roots (classes, current user, local
// machine), each kept in one text file. Every change is one locked read-change-replace of
// that file, so separate Brimwell processes never lose each other's keys.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop/PlatformPaths.h"
#include "desktop/RegistryTree.h"

enum class RegistryRoot {
    Classes,  // HKEY_CLASSES_ROOT: <config>/Brimwell/classes.reg
    User,     // HKEY_CURRENT_USER: <config>/Brimwell/user.reg
    Machine,  // HKEY_LOCAL_MACHINE: <machine root>/machine.reg
};

class Registry {
  public:
    explicit Registry(PlatformPaths paths);

    std::filesystem::path FileOf(RegistryRoot root) const;

    // Creates or opens a key for writing (RegCreateKeyEx with KEY_WRITE): creates it and
    // its missing ancestors. False when the root cannot be written, even if the key exists.
    bool CreateKey(RegistryRoot root, std::string_view path);
    // Stores a REG_SZ value (the empty name is the default value). False when the key does
    // not exist or the root cannot be written.
    bool SetValue(RegistryRoot root, std::string_view path, std::string_view name,
                  std::string_view data);
    // CreateKey, then SetValue of each (name, data) in order, as one replacement of the
    // root's file. False when the root cannot be written.
    bool SetValues(RegistryRoot root, std::string_view path,
                   const std::vector<std::pair<std::string, std::string>>& values);
    // Deletes a key without subkeys: Ok, NotFound, Denied (it has subkeys) or Failed.
    RegStatus DeleteKey(RegistryRoot root, std::string_view path);

    // Reads need no lock: files are only ever replaced whole. An unreadable or damaged
    // file reads as what could be understood of it.
    bool KeyExists(RegistryRoot root, std::string_view path) const;
    std::optional<std::string> GetValue(RegistryRoot root, std::string_view path,
                                        std::string_view name) const;
    std::vector<std::string> SubkeyNames(RegistryRoot root, std::string_view path) const;

  private:
    RegistryTree Load(RegistryRoot root) const;
    // Applies `change` to the current tree under the root's lock and writes the result when
    // it differs. A change to the classes root is then mirrored into desktop entries while
    // the lock is still held. False when `change` refuses, or locking, reading or writing fails.
    bool Update(RegistryRoot root, const std::function<bool(RegistryTree&)>& change);

    PlatformPaths paths_;
};
