// Dispatch of command identifiers to their handlers.
#include "app/Commands.h"

#include "app/ResourceTables.h"

bool CommandTable::Execute(int command) const {
    if (command >= Command::FirstStartingFolder) {
        if (!startingFolder_)
            return false;
        startingFolder_(command - Command::FirstStartingFolder);
        return true;
    }
    auto found = handlers_.find(command);
    if (found == handlers_.end())
        return false;
    found->second();
    return true;
}
