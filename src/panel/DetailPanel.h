// The detail panel: the selected folder's figures and one bar per child, scaled to the
// largest child. Paint() draws onto any painter, so the panel on screen, an image and a
// printer page show the same layout.
#pragma once

#include <QFrame>

class ItemStore;
class QPainter;
class QRect;

class DetailPanel : public QFrame {
    Q_OBJECT

  public:
    // The panel reads tree at every paint and keeps no copy of it; tree must outlive the
    // panel and belong to the panel's thread.
    explicit DetailPanel(const ItemStore& tree, QWidget* parent = nullptr);

    // Draws the selected item of tree into area of the painter's device, with area's top
    // left corner as the origin of the layout: white background; the header line centred
    // at the top; the bar frame; one text line and one red bar per child, scaled to the
    // largest child, as many lines as fit. Text is drawn in black in the painter's current
    // font and measured with the painter's font metrics. Nothing is drawn outside area.
    // Without a selected item that has a record, area is only filled with white.
    // The painter's state is restored before returning.
    static void Paint(QPainter& painter, const QRect& area, const ItemStore& tree);

    // Schedules a repaint, for example after the selection or a record changed.
    void Refresh() { update(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Does nothing: the panel has no menu, and the request does not reach the parent.
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    const ItemStore& tree_;
};
