// The detail panel: the selected folder's figures and one bar per child, scaled to the
// largest child. Paint() draws onto any painter, so the panel on screen, an image and a
// printer page show the same layout.
#pragma once

#include <QFrame>

#include "panel/ChildMeasures.h"

class ItemChanges;
class ItemStore;
class QPainter;
class QRect;

class DetailPanel : public QFrame {
    Q_OBJECT

  public:
    // The panel reads tree at every paint; of the selected folder's children it keeps what
    // it measured (their text widths and sizes) and measures again only the children the
    // store reports as changed, a bounded number per paint: a folder with very many children
    // is measured over several passes of the event loop, the name column widening as it
    // goes. tree must outlive the panel and belong to its thread.
    explicit DetailPanel(const ItemStore& tree, QWidget* parent = nullptr);

    // Draws the selected item of tree into area of the painter's device, with area's top
    // left corner as the origin of the layout: white background; the header line centred
    // at the top; the bar frame; one text line and one red bar per child, scaled to the
    // largest child, as many lines as fit. Text is drawn in black in the painter's current
    // font and measured with the painter's font metrics. Nothing is drawn outside area.
    // Without a selected item that has a record, area is only filled with white.
    // The painter's state is restored before returning.
    static void Paint(QPainter& painter, const QRect& area, const ItemStore& tree);

    // Child texts the panel has measured since it was made, and whether some are still to
    // be measured (for tests and benchmarks).
    std::size_t MeasuredChildTexts() const { return measures_.TextsMeasured(); }
    bool MeasuringChildren() const { return measures_.Measuring(); }

    // Schedules a repaint, for example after the selection or a record changed.
    void Refresh() { update(); }

    // While changes is set (it must outlive that) and compares the selected folder, each
    // child line shows the child's change after its size, and its bar grows from a middle
    // line to the right (growth) or to the left (shrinkage), scaled to the largest change;
    // the name column fits the lines shown. Null: the plain panel.
    void SetChanges(const ItemChanges* changes) {
        changes_ = changes;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Does nothing: the panel has no menu, and the request does not reach the parent.
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    static void Paint(QPainter& painter, const QRect& area, const ItemStore& tree,
                      ChildMeasureCache* cache, const ItemChanges* changes = nullptr);

    const ItemStore& tree_;
    const ItemChanges* changes_ = nullptr;
    ChildMeasureCache measures_;
};
