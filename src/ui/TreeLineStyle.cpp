// Drawing one cell of the branch area: the view says whether the item sits in this column
// (State_Item), whether a sibling follows below (State_Sibling), and whether the item has
// children (State_Children) and shows them (State_Open).
#include "ui/TreeLineStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace {

constexpr int kBoxSize = 9;  // the expander box, odd so that its sign has a middle

}  // namespace

void TreeLineStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorBranch || !option || !painter) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    DrawLines(*option, *painter);
    if (option->state & State_Children)
        DrawExpander(*option, *painter);
}

void TreeLineStyle::DrawLines(const QStyleOption& option, QPainter& painter) {
    const QRect& cell = option.rect;
    const QPoint middle = cell.center();
    // Every other pixel, in step across rows because the pattern follows the widget.
    const QBrush dots(option.palette.color(QPalette::Dark), Qt::Dense4Pattern);
    if (option.state & State_Item)
        painter.fillRect(QRect(middle.x(), middle.y(), cell.right() - middle.x() + 1, 1), dots);
    if (option.state & State_Sibling) {
        painter.fillRect(QRect(middle.x(), cell.top(), 1, cell.height()), dots);
    } else if (option.state & State_Item) {
        painter.fillRect(QRect(middle.x(), cell.top(), 1, middle.y() - cell.top() + 1), dots);
    }
}

void TreeLineStyle::DrawExpander(const QStyleOption& option, QPainter& painter) {
    const QPoint middle = option.rect.center();
    const QRect box(middle.x() - kBoxSize / 2, middle.y() - kBoxSize / 2, kBoxSize, kBoxSize);
    painter.save();
    painter.setPen(option.palette.color(QPalette::Dark));
    painter.setBrush(option.palette.base());
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const QColor sign = option.palette.color(QPalette::Text);
    painter.fillRect(QRect(box.left() + 2, middle.y(), kBoxSize - 4, 1), sign);
    if (!(option.state & State_Open))
        painter.fillRect(QRect(middle.x(), box.top() + 2, 1, kBoxSize - 4), sign);
    painter.restore();
}
