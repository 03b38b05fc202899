// The folder tree's view widget: a QTreeView whose one column is as wide as the widest row
// it has shown, measured as rows are painted (each label once), and which hands its
// context-menu events to its owner (Shift+F10 asks for one as the Menu key does). Measuring only
// what the screen shows keeps a change to the tree as cheap for the view as the rows it shows,
// however many rows the tree holds.
#pragma once

#include <QHash>
#include <QTreeView>

#include <chrono>
#include <functional>

class QContextMenuEvent;

class TreeWidget : public QTreeView {
  public:
    explicit TreeWidget(std::function<void(QContextMenuEvent*)> onContextMenu);

    // The column may become narrower at the next paint: rows were removed or hidden, or
    // labels rewritten. Otherwise it only grows, so that it does not jump while scrolling.
    void AllowNarrower() { narrower_ = true; }
    // Told how long each layout of all rows took together with the paint that showed it
    // (the view lays its rows out again after rows were inserted, removed or reordered
    // below an expanded item).
    void OnLayout(std::function<void(std::chrono::nanoseconds)> observer) {
        onLayout_ = std::move(observer);
    }

    void doItemsLayout() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override { onContextMenu_(event); }
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FitColumnToRowsOnScreen(const QRect& painted);
    // The width a row's content needs, measured once per label text.
    int ContentWidth(const QStyleOptionViewItem& option, const QModelIndex& row);

    std::function<void(QContextMenuEvent*)> onContextMenu_;
    std::function<void(std::chrono::nanoseconds)> onLayout_;
    std::chrono::nanoseconds layoutCost_{-1};  // of a layout not yet painted; -1: none
    QHash<QString, int> widths_;               // by label text, in the current font
    bool narrower_ = false;
};
