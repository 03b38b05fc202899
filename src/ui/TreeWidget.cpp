// The tree view widget: its column fitted to the rows on screen before each paint.
#include "ui/TreeWidget.h"

#include <QHeaderView>

#include <algorithm>

TreeWidget::TreeWidget(std::function<void(QContextMenuEvent*)> onContextMenu)
    : onContextMenu_(std::move(onContextMenu)) {
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setStretchLastSection(false);
}

void TreeWidget::paintEvent(QPaintEvent* event) {
    FitColumnToRowsOnScreen();
    QTreeView::paintEvent(event);
}

void TreeWidget::FitColumnToRowsOnScreen() {
    if (!model())
        return;
    const int current = header()->sectionSize(0);
    int widest = narrower_ ? 0 : current;
    narrower_ = false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int bottom = viewport()->height();
    for (QModelIndex row = indexAt(QPoint(0, 0)); row.isValid(); row = indexBelow(row)) {
        const QRect rect = visualRect(row);
        if (rect.top() >= bottom)
            break;
        // Where the row's content ends, in the column's own coordinates.
        const int right = rect.left() + horizontalOffset() +
                          itemDelegateForIndex(row)->sizeHint(option, row).width();
        widest = std::max(widest, right);
    }
    if (widest != current)
        header()->resizeSection(0, widest);
}
