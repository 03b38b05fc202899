// The toolbar along the top of the main window: command buttons with tooltips, the
// drop-down button whose arrow opens a menu while its face issues its own command, and a
// check button that shows a state.
#pragma once

#include <QPointer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <map>
#include <vector>

class QMenu;

// One entry of the toolbar, in order.
struct ToolbarButton {
    enum class Style { Button, DropDown, Check, Separator };
    Style style;
    int command;          // 0 for a separator
    const char* image;    // ":/toolbar/<image>.png" and "<image>@2x.png"; null for a separator
    const char* tooltip;  // null for a separator
    bool checked;         // the initial state of a check button
};

class ToolbarControl {
  public:
    using Dispatch = std::function<void(int command)>;

    ToolbarControl() = default;
    virtual ~ToolbarControl() = default;
    ToolbarControl(const ToolbarControl&) = delete;
    ToolbarControl& operator=(const ToolbarControl&) = delete;

    // Creates the toolbar as a child of parent, which owns and places it, with buttons in
    // order. A click on a button (on the face of the drop-down button) calls dispatch with
    // its command; the drop-down button's arrow opens dropDown, which must outlive the
    // toolbar (may be null: no menu). Returns whether the toolbar exists.
    bool Create(QWidget& parent, const std::vector<ToolbarButton>& buttons,
                const Dispatch& dispatch, QMenu* dropDown);

    // Presses (checked) or releases the check button of command; nothing for other buttons.
    void CheckButton(int command, bool checked);

    // The toolbar; null before Create.
    QToolBar* Window() const { return window_; }
    // The button of command; null when there is none.
    QToolButton* Button(int command) const;

  private:
    QPointer<QToolBar> window_;
    std::map<int, QPointer<QToolButton>> buttons_;
};
