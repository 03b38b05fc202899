// The command table: one handler per command identifier, so that the menu bar, the
// accelerators, the item menu, the toolbar and the Desktop menu all behave the same.
#pragma once

#include <functional>
#include <map>

class CommandTable {
  public:
    using Handler = std::function<void()>;

    void Add(int command, Handler handler) { handlers_[command] = std::move(handler); }
    // Commands of 1000 and above go to this handler with command - 1000.
    void SetStartingFolderHandler(std::function<void(int index)> handler) {
        startingFolder_ = std::move(handler);
    }

    // Runs the handler of command. False when the table has none: the command does nothing.
    bool Execute(int command) const;

  private:
    std::map<int, Handler> handlers_;
    std::function<void(int)> startingFolder_;
};
