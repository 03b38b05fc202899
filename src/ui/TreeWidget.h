// The folder tree's view widget: a QTreeView whose one column is as wide as the widest row
// it has shown, measured as rows come on screen, and which hands its context-menu events to
// its owner. Measuring only what the screen shows keeps a change to the tree as cheap for
// the view as the rows it shows, however many rows the tree holds.
#pragma once

#include <QTreeView>

#include <functional>

class QContextMenuEvent;

class TreeWidget : public QTreeView {
  public:
    explicit TreeWidget(std::function<void(QContextMenuEvent*)> onContextMenu);

    // The column may become narrower at the next paint: rows were removed or hidden, or
    // labels rewritten. Otherwise it only grows, so that it does not jump while scrolling.
    void AllowNarrower() { narrower_ = true; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override { onContextMenu_(event); }

  private:
    void FitColumnToRowsOnScreen();

    std::function<void(QContextMenuEvent*)> onContextMenu_;
    bool narrower_ = false;
};
