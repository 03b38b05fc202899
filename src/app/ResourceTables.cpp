// The texts of the menus, the accelerators and the string table, exactly as the program
// shows them.
#include "app/ResourceTables.h"

#include <utility>

namespace Resources {

const std::vector<Popup>& MainMenu() {
    static const std::vector<Popup> menu = {
        {"&File",
         {
             {Command::Open, "Open\tCtrl+O", false},
             {Command::OpenScanFile, "Open Scan File...\tCtrl+Shift+O", false},
             {Command::Refresh, "Refresh\tF5", false},
             {Command::Remove, "Remove\tCtrl+X", false},
             {0, nullptr, false},
             {Command::Stop, "Stop\tCtrl+S", false},
             {0, nullptr, false},
             {Command::ExportInfo, "Export Info To File\tCtrl+E", false},
             {Command::PrintSelected, "Print Selected Info\tCtrl+P", false},
             {0, nullptr, false},
             {Command::Exit, "E&xit", false},
             {0, nullptr, false},
             {Command::CompareWithScanFile, "Compare With Scan File...", false, true},
             {0, nullptr, false},
             {Command::MoveToTrash, "Move to Trash\tDel", false},
             {Command::RefreshSelected, "Refresh Selected\tF6", false},
         }},
        {"View",
         {
             {Command::ShowInMeg, "Show In Meg\tCtrl+T", true},
             {Command::ExploreSelected, "Explore Selected\tCtrl+I", false},
             {0, nullptr, false},
             {Command::StayOnOneFileSystem, "Stay On One File System", false, true},
             {Command::IncludeHidden, "Include Hidden Entries", false, true},
             {0, nullptr, false},
             {Command::SortByChange, "Sort By Change", false, true},
             {0, nullptr, false},
             {Command::ShowSizeOnDisk, "Show Size On Disk", false, true},
             {Command::LargestFiles, "Largest Files\tCtrl+L", false},
         }},
        {"&Help", {{Command::About, "&About ...", false}}},
    };
    return menu;
}

const std::vector<MenuItem>& ItemMenu() {
    static const std::vector<MenuItem> menu = {
        {Command::Refresh, "Refresh", false},
        {Command::Remove, "Remove", false},
        {Command::ExploreSelected, "Explore Selected", false},
        {Command::ExportInfo, "Export Info To File", false},
        {0, nullptr, false},
        {Command::MoveToTrash, "Move to Trash", false},
        {Command::RefreshSelected, "Refresh Selected", false},
        {Command::LargestFiles, "Largest Files", false},
    };
    return menu;
}

const std::vector<ToolbarButton>& ToolbarButtons() {
    using Style = ToolbarButton::Style;
    auto button = [](Style style, int command, const char* image) {
        return ToolbarButton{style, command, image, LoadString(command), style == Style::Check};
    };
    const ToolbarButton separator{Style::Separator, 0, nullptr, nullptr, false};
    static const std::vector<ToolbarButton> buttons = {
        button(Style::DropDown, Command::ChooseFolder, "choose"),
        button(Style::Button, Command::Open, "open"),
        button(Style::Button, Command::Refresh, "refresh"),
        button(Style::Button, Command::Stop, "stop"),
        separator,
        button(Style::Button, Command::Remove, "remove"),
        separator,
        button(Style::Check, Command::ShowInMeg, "megabytes"),
        separator,
        button(Style::Button, Command::PrintSelected, "print"),
        separator,
        button(Style::Button, Command::Exit, "exit"),
    };
    return buttons;
}

const std::vector<Accelerator>& Accelerators() {
    static const std::vector<Accelerator> table = {
        {Qt::ALT | Qt::Key_Slash, Command::About, true},
        {Qt::ALT | Qt::Key_Question, Command::About, true},
        {Qt::CTRL | Qt::Key_S, Command::Stop},
        {Qt::CTRL | Qt::Key_P, Command::PrintSelected},
        {QKeyCombination(Qt::Key_F5), Command::Refresh},
        {Qt::CTRL | Qt::Key_O, Command::Open},
        {Qt::CTRL | Qt::Key_E, Command::ExportInfo},
        {Qt::CTRL | Qt::Key_X, Command::Remove},
        {Qt::CTRL | Qt::Key_T, Command::ShowInMeg},
        {Qt::CTRL | Qt::Key_I, Command::ExploreSelected},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_O, Command::OpenScanFile},
        {QKeyCombination(Qt::Key_Delete), Command::MoveToTrash},
        {QKeyCombination(Qt::Key_F6), Command::RefreshSelected},
        {Qt::CTRL | Qt::Key_L, Command::LargestFiles},
    };
    return table;
}

const char* LoadString(int id) {
    static const std::pair<int, const char*> table[] = {
        {103, "Brimwell"},
        {104, "Ready"},
        {105, "Exit"},
        {109, "BRIMWELL"},
        {132, "Choose Folder"},
        {134, "Refresh Selection"},
        {135, "Remove Selection"},
        {136, "Browse Folder"},
        {138, "Stop Scan"},
        {139, "Show Sizes in Megabytes or Kilobytes"},
        {140, "Open Windows Explorer on Selected"},
        {141, "Prit File Size Info"},
        {142, "Export Size Info To File"},
        {143, "Open a Scan File Written by brimwell-report, ncdu or gdu"},
        {144, "Do Not Enter Folders on Other File Systems in the Next Scans"},
        {145, "Count Entries Whose Names Begin With a Dot in the Next Scans"},
        {146, "Compare the Selected Root With an Earlier Scan File"},
        {147, "Order Folders by Their Change While a Comparison Is Shown"},
        {150, "Move the Selected Folder to the Trash"},
        {151, "Scan the Selected Folder Again"},
        {152, "List the 100 Largest Files Below the Selected Folder"},
        {153, "Show the Space Files Take on Disk Instead of Their Apparent Sizes"},
    };
    for (const auto& [key, text] : table) {
        if (key == id)
            return text;
    }
    return nullptr;
}

}  // namespace Resources
