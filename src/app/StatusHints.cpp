// Menu hints from the string table.
#include "app/StatusHints.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/ResourceTables.h"

namespace {

const char* const kReady = "Ready";

}  // namespace

StatusHints::StatusHints(std::function<void(const QString&)> show, QObject* parent)
    : QObject(parent), show_(std::move(show)) {}

QString StatusHints::HintOf(const QAction* action) {
    bool isCommand = false;
    const int command = action ? action->data().toInt(&isCommand) : 0;
    const char* hint =
        isCommand && !action->isSeparator() ? Resources::LoadString(command) : nullptr;
    return QString::fromUtf8(hint ? hint : kReady);
}

void StatusHints::Watch(QMenu& menu) {
    connect(&menu, &QMenu::hovered, this, [this](QAction* item) { show_(HintOf(item)); });
    connect(&menu, &QMenu::aboutToShow, this, [this] { show_(QString::fromUtf8(kReady)); });
    connect(&menu, &QMenu::aboutToHide, this, [this] { show_(QString::fromUtf8(kReady)); });
}

void StatusHints::Watch(QMenuBar& bar) {
    for (QAction* title : bar.actions()) {
        if (QMenu* menu = title->menu())
            Watch(*menu);
    }
}
