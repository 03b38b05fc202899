// The splitter between the folder tree and the detail panel: its hit zone and the drag of
// its line. Positions are x coordinates in the content area; the bar of a splitter at p
// covers the columns p - 3 to p + 2. The line follows the pointer during a drag, within
// the limits, and the position changes only when the drag ends.
#pragma once

#include <QWidget>

class Splitter {
  public:
    static constexpr int kHalfWidth = 3;    // the bar and the line are 6 pixels wide
    static constexpr int kLeftLimit = 6;    // the smallest position a drag leaves
    static constexpr int kRightMargin = 3;  // the largest is the area's width - 3

    // Whether x lies on the splitter at pos: strictly within 3 pixels of it, so within 2
    // either side.
    static bool Hits(int pos, int x);

    // Starts a drag with the pointer at x: the line is centred on x.
    void Begin(int x);
    // Moves the line to the pointer at x, in an area `width` pixels wide: never left of 3
    // nor right of width - 6 (its left edge).
    void Move(int x, int width);
    // Ends the drag and returns the new position, the centre of the line: between 6 and
    // width - 3. Only valid while dragging.
    int End(int width);

    bool Dragging() const { return dragging_; }
    // The left edge of the line, which is 2 * kHalfWidth wide.
    int LineLeft() const { return lineLeft_; }

  private:
    bool dragging_ = false;
    int lineLeft_ = 0;
};

// The line shown while the splitter is dragged: a halftone pattern over whatever lies
// beneath it, so that it can be removed exactly by hiding it. Mouse events pass through.
class SplitterLine : public QWidget {
    Q_OBJECT

  public:
    explicit SplitterLine(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
