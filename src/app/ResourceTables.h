// The program's resources as tables: command identifiers, the menu bar (menu 109), the item
// menu ("pop2" of menu 129), the toolbar, the accelerator table 109 and the string table. The menu
// bar, the accelerators, the item menu and the toolbar all issue these command identifiers.
#pragma once

#include <QKeyCombination>

#include <vector>

#include "ui/Toolbar.h"

namespace Command {
constexpr int About = 104;
constexpr int Exit = 105;
constexpr int ChooseFolder = 132;
constexpr int Refresh = 134;
constexpr int Remove = 135;
constexpr int Open = 136;
constexpr int Stop = 138;
constexpr int ShowInMeg = 139;
constexpr int ExploreSelected = 140;
constexpr int PrintSelected = 141;
constexpr int ExportInfo = 142;
constexpr int OpenScanFile = 143;
constexpr int StayOnOneFileSystem = 144;
constexpr int IncludeHidden = 145;
constexpr int CompareWithScanFile = 146;
constexpr int SortByChange = 147;
constexpr int MoveToTrash = 150;
constexpr int RefreshSelected = 151;
constexpr int LargestFiles = 152;
constexpr int ShowSizeOnDisk = 153;
constexpr int FirstStartingFolder = 1000;  // Desktop menu entry k is 1000 + k
}  // namespace Command

namespace Resources {

// One menu item; command 0 is a separator. The text carries its accelerator after a tab.
struct MenuItem {
    int command;
    const char* text;
    bool checked;            // shown checked at start (and so checkable)
    bool checkable = false;  // a check item that starts unchecked
};

struct Popup {
    const char* title;
    std::vector<MenuItem> items;
};

struct Accelerator {
    QKeyCombination keys;
    int command;
    // A character entry matches its character with or without Shift; the others match
    // their keys exactly.
    bool character = false;
};

// Menu 109, the menu bar, in order.
const std::vector<Popup>& MainMenu();
// "pop2", the item menu of the folder tree.
const std::vector<MenuItem>& ItemMenu();
// The toolbar's entries in order, with the images of bitmap 128 and their tooltips from the
// string table.
const std::vector<ToolbarButton>& ToolbarButtons();
// Accelerator table 109, in order.
const std::vector<Accelerator>& Accelerators();
// The string-table entry with this identifier, or null when there is none.
const char* LoadString(int id);

}  // namespace Resources
