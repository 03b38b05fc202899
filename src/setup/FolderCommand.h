// The "Brimwell" entry on every folder's context menu: the verb "Folder\shell\Brimwell"
// with its "command" in the classes root, which the registry mirrors into a desktop entry
// for folders. Choosing it starts the program with the folder as its argument.
#pragma once

#include <filesystem>
#include <string>

#include "desktop/PlatformPaths.h"
#include "desktop/Registry.h"

class FolderCommand {
  public:
    explicit FolderCommand(const PlatformPaths& paths);

    // Removes the entry, then writes it afresh when `add` is true, naming the running
    // program file. Failures end the step in silence: if the command key cannot be
    // written, the verb key stays without it until the next refresh or removal.
    void Refresh(bool add);
    // Deletes "command", then the verb key, which the registry refuses while "command"
    // remains. Nothing happens when the entry is absent.
    void Remove();

    // The command text: the program path unquoted, a blank, and "%1" in double quotes.
    std::string CommandText() const;

  private:
    Registry registry_;
    std::filesystem::path programPath_;
};
