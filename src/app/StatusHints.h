// Menu hints in the status bar: while a menu is open, the string-table entry of the
// highlighted item's command, or "Ready" for an item without one, and "Ready" when a menu
// opens or closes.
#pragma once

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;

class StatusHints : public QObject {
    Q_OBJECT

  public:
    // show puts a text into the status bar.
    explicit StatusHints(std::function<void(const QString&)> show, QObject* parent = nullptr);

    // Shows the hints of menu's items; the command of an item is its action's data.
    void Watch(QMenu& menu);
    // Shows the hints of the items of every menu of the menu bar.
    void Watch(QMenuBar& bar);

    // The hint of an item: the string-table entry of its command, or "Ready".
    static QString HintOf(const QAction* action);

  private:
    std::function<void(const QString&)> show_;
};
