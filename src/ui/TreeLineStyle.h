// The folder tree's branch area as a classic tree view draws it: dotted lines from each
// item to its parent and its siblings, also between the roots, and a small box with "+"
// or "-" on every item that has children. Styles such as Fusion draw only an arrow.
#pragma once

#include <QProxyStyle>

class TreeLineStyle : public QProxyStyle {
  public:
    // Follows the application's style in everything but the branch area.
    TreeLineStyle() = default;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

  private:
    static void DrawLines(const QStyleOption& option, QPainter& painter);
    static void DrawExpander(const QStyleOption& option, QPainter& painter);
};
