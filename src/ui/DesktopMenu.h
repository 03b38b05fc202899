// The Desktop menu: every starting folder of a RootList in order, each with the folder's
// own name and a folder icon. Entry k issues command firstCommand + k. The menu is rebuilt
// from the list each time it is about to show, so it always lists the whole list.
#pragma once

#include <QMenu>

#include <functional>
#include <string>

#include "scan/RootList.h"

class DesktopMenu : public QMenu {
    Q_OBJECT

  public:
    using Dispatch = std::function<void(int command)>;

    // roots must outlive the menu; dispatch receives the command of a chosen entry.
    DesktopMenu(const RootList& roots, int firstCommand, Dispatch dispatch,
                QWidget* parent = nullptr);

    // Replaces the entries with the list's current ones.
    void Rebuild();

    // The name the menu shows for a starting folder: its last path component ("/" for the
    // root folder); trailing slashes are ignored.
    static std::string DisplayName(const std::string& path);

  private:
    const RootList& roots_;
    int firstCommand_;
    Dispatch dispatch_;
};
