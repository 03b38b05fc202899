// Menus and accelerators from the resource tables.
#include "app/MenuBuilder.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "app/CharacterAccelerators.h"

namespace {

QAction* AddItem(QMenu& menu, const Resources::MenuItem& item, const Dispatch& dispatch) {
    if (item.command == 0 || !item.text)
        return menu.addSeparator();
    QAction* action = menu.addAction(QString::fromUtf8(item.text));
    action->setData(item.command);  // for the status-bar hint
    if (item.checked || item.checkable) {
        action->setCheckable(true);
        action->setChecked(item.checked);
    }
    int command = item.command;
    QObject::connect(action, &QAction::triggered, &menu,
                     [dispatch, command] { dispatch(command); });
    return action;
}

}  // namespace

std::map<int, QAction*> BuildMenuBar(QMenuBar& bar, const Dispatch& dispatch) {
    std::map<int, QAction*> actions;
    for (const Resources::Popup& popup : Resources::MainMenu()) {
        QMenu* menu = bar.addMenu(QString::fromUtf8(popup.title));
        for (const Resources::MenuItem& item : popup.items) {
            QAction* action = AddItem(*menu, item, dispatch);
            if (item.command != 0)
                actions[item.command] = action;
        }
    }
    return actions;
}

void FillMenu(QMenu& menu, const std::vector<Resources::MenuItem>& items,
              const Dispatch& dispatch) {
    for (const Resources::MenuItem& item : items)
        AddItem(menu, item, dispatch);
}

void InstallAccelerators(QWidget& window, const Dispatch& dispatch) {
    std::vector<CharacterAccelerators::Entry> characters;
    for (const Resources::Accelerator& accelerator : Resources::Accelerators()) {
        if (accelerator.character)
            characters.push_back({accelerator.keys, accelerator.command});
        auto* action = new QAction(&window);
        action->setShortcut(QKeySequence(accelerator.keys));
        action->setShortcutContext(Qt::WindowShortcut);
        int command = accelerator.command;
        QObject::connect(action, &QAction::triggered, &window,
                         [dispatch, command] { dispatch(command); });
        window.addAction(action);
    }
    // The shortcut takes the exact combination; the rest reaches the widgets, where a
    // character entry still finds it.
    new CharacterAccelerators(window, std::move(characters), dispatch);
}
