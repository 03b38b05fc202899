// The Desktop menu: every starting folder of a RootList in order, each with its display
// name and a folder icon. Entry k issues command firstCommand + k. The menu is rebuilt
// from the list each time it is about to show, so it always lists the whole list.
#pragma once

#include <QMenu>

#include <functional>
#include <map>
#include <string>

#include "scan/RootList.h"

class DesktopMenu : public QMenu {
    Q_OBJECT

  public:
    using Dispatch = std::function<void(int command)>;
    // The display names of the mount points, by mount point (MountDisplayNames).
    using MountNames = std::function<std::map<std::string, std::string>()>;

    // roots must outlive the menu; dispatch receives the command of a chosen entry;
    // mountNames is asked each time the menu is rebuilt (null: this system's names).
    DesktopMenu(const RootList& roots, int firstCommand, Dispatch dispatch,
                MountNames mountNames = nullptr, QWidget* parent = nullptr);

    // Replaces the entries with the list's current ones.
    void Rebuild();

    // The name the menu shows for a starting folder: a mount point's display name, or
    // else the folder's last path component (trailing slashes ignored).
    static std::string DisplayName(const std::string& path,
                                   const std::map<std::string, std::string>& mountNames);

  private:
    const RootList& roots_;
    int firstCommand_;
    Dispatch dispatch_;
    MountNames mountNames_;
};
