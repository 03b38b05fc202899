// The main window's client area between the bars: the folder tree left of the splitter and
// the detail panel right of it, placed from the splitter position.
#pragma once

#include <QPointer>
#include <QWidget>

class ContentArea : public QWidget {
    Q_OBJECT

  public:
    explicit ContentArea(QWidget* parent = nullptr);

    // The tree widget; it becomes a child of this area.
    void SetTree(QWidget* tree);
    // The panel widget; it becomes a child of this area, and the previous panel is deleted.
    void SetPanel(QWidget* panel);
    QWidget* Panel() const { return panel_; }

    // The splitter's distance from the left edge, in pixels; not clamped.
    int SplitterPos() const { return splitterPos_; }
    void SetSplitterPos(int pos);

    // Places the tree from x 0 to the splitter - 3 and the panel from the splitter + 3 on,
    // 6 pixels wider than what is left, so that its right border is hidden.
    void Layout();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPointer<QWidget> tree_;
    QPointer<QWidget> panel_;
    int splitterPos_ = 200;
};
