// Builds the toolbar's buttons from their table.
#include "ui/Toolbar.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace {

// The image at 1x and 2x, so that the toolbar stays sharp on high-density screens.
QIcon ButtonIcon(const char* image) {
    QIcon icon;
    icon.addFile(QStringLiteral(":/toolbar/%1.png").arg(QLatin1String(image)));
    icon.addFile(QStringLiteral(":/toolbar/%1@2x.png").arg(QLatin1String(image)));
    return icon;
}

QAction* NewAction(QToolBar& bar, const ToolbarButton& button,
                   const ToolbarControl::Dispatch& dispatch) {
    const QString tooltip = QString::fromUtf8(button.tooltip);
    auto* action = new QAction(ButtonIcon(button.image), tooltip, &bar);
    action->setToolTip(tooltip);
    action->setData(button.command);
    if (button.style == ToolbarButton::Style::Check) {
        action->setCheckable(true);
        action->setChecked(button.checked);
    }
    const int command = button.command;
    QObject::connect(action, &QAction::triggered, &bar, [dispatch, command] { dispatch(command); });
    return action;
}

}  // namespace

bool ToolbarControl::Create(QWidget& parent, const std::vector<ToolbarButton>& buttons,
                            const Dispatch& dispatch, QMenu* dropDown) {
    auto* bar = new QToolBar(QStringLiteral("Toolbar"), &parent);
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);  // the toolbar cannot be hidden
    for (const ToolbarButton& button : buttons) {
        if (button.style == ToolbarButton::Style::Separator) {
            bar->addSeparator();
            continue;
        }
        QAction* action = NewAction(*bar, button, dispatch);
        QToolButton* widget = nullptr;
        if (button.style == ToolbarButton::Style::DropDown) {
            // The arrow is a separate part of the button: it opens the menu, while a click
            // on the face triggers the action.
            widget = new QToolButton(bar);
            widget->setAutoRaise(true);  // flat, like the toolbar's own buttons
            widget->setIconSize(bar->iconSize());
            widget->setDefaultAction(action);
            widget->setPopupMode(QToolButton::MenuButtonPopup);
            widget->setMenu(dropDown);
            bar->addWidget(widget);
        } else {
            bar->addAction(action);
            widget = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        }
        buttons_[button.command] = widget;
    }
    window_ = bar;
    return window_ != nullptr;
}

void ToolbarControl::CheckButton(int command, bool checked) {
    QToolButton* button = Button(command);
    if (button && button->defaultAction() && button->defaultAction()->isCheckable())
        button->defaultAction()->setChecked(checked);
}

QToolButton* ToolbarControl::Button(int command) const {
    auto found = buttons_.find(command);
    return found == buttons_.end() ? nullptr : found->second.data();
}
