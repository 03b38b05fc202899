// Builds Qt menus and window-wide shortcuts from the resource tables; every item and key
// issues its command identifier through one dispatch function.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "app/ResourceTables.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

using Dispatch = std::function<void(int command)>;

// Fills bar with menu 109. Returns the items' actions by command identifier; they belong
// to the bar.
std::map<int, QAction*> BuildMenuBar(QMenuBar& bar, const Dispatch& dispatch);
// Appends items to menu.
void FillMenu(QMenu& menu, const std::vector<Resources::MenuItem>& items, const Dispatch& dispatch);
// Adds accelerator table 109 to window as shortcuts that work wherever the keyboard focus
// is inside the window; a character entry also matches when the keyboard sends Shift with
// its character or without it.
void InstallAccelerators(QWidget& window, const Dispatch& dispatch);
