// The main window's client area between the bars: the folder tree left of the splitter,
// the detail panel right of it, and the splitter bar between them, which the user drags
// with the left mouse button.
#pragma once

#include <QPointer>
#include <QWidget>

#include "ui/Splitter.h"

class ContentArea : public QWidget {
    Q_OBJECT

  public:
    explicit ContentArea(QWidget* parent = nullptr);

    // The tree widget; it becomes a child of this area.
    void SetTree(QWidget* tree);
    // The panel widget; it becomes a child of this area, and the previous panel is deleted.
    // Null removes (and deletes) the panel.
    void SetPanel(QWidget* panel);
    QWidget* Panel() const { return panel_; }

    // The splitter's distance from the left edge, in pixels; not clamped, so a stored
    // position beyond the window hides the panel.
    int SplitterPos() const { return splitterPos_; }
    void SetSplitterPos(int pos);

    // Places the tree from x 0 to the splitter - 3 and the panel from the splitter + 3 on,
    // 6 pixels wider than what is left, so that its right border is hidden; then emits
    // LaidOut.
    void Layout();

    bool Dragging() const { return splitter_.Dragging(); }
    // The drag line while dragging; null otherwise.
    const QWidget* DragLine() const { return line_->isVisible() ? line_ : nullptr; }

  signals:
    // Tree and panel were placed anew; the panel should repaint.
    void LaidOut();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // Whether a press at point would grab the splitter: on its bar, and within the tree's
    // height (not on the rows above or below it).
    bool OnSplitter(const QPoint& point) const;
    void ShowLine();
    void EndDrag();

    QPointer<QWidget> tree_;
    QPointer<QWidget> panel_;
    SplitterLine* line_;
    Splitter splitter_;
    int splitterPos_ = 200;
};
