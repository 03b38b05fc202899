// The tree view widget: its column fitted to the rows on screen before each paint.
#include "ui/TreeWidget.h"

#include "ui/FolderTreeModel.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>

#include <algorithm>

TreeWidget::TreeWidget(std::function<void(QContextMenuEvent*)> onContextMenu)
    : onContextMenu_(std::move(onContextMenu)) {
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setStretchLastSection(false);
}

void TreeWidget::doItemsLayout() {
    QElapsedTimer clock;
    clock.start();
    QTreeView::doItemsLayout();
    layoutCost_ = std::chrono::nanoseconds(clock.nsecsElapsed());
}

void TreeWidget::paintEvent(QPaintEvent* event) {
    QElapsedTimer clock;
    clock.start();
    FitColumnToRowsOnScreen(event->rect());  // may lay the rows out first
    QTreeView::paintEvent(event);
    if (layoutCost_.count() >= 0 && onLayout_)
        onLayout_(layoutCost_ + std::chrono::nanoseconds(clock.nsecsElapsed()));
    layoutCost_ = std::chrono::nanoseconds(-1);
}

void TreeWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        // The desktop's other key for a context menu, which Qt does not turn into one.
        const QPoint corner = viewport()->rect().topLeft();
        QContextMenuEvent request(QContextMenuEvent::Keyboard, corner,
                                  viewport()->mapToGlobal(corner));
        onContextMenu_(&request);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TreeWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        widths_.clear();
    QTreeView::changeEvent(event);
}

int TreeWidget::ContentWidth(const QStyleOptionViewItem& option, const QModelIndex& row) {
    const QString text = row.data().toString();
    auto known = widths_.constFind(text);
    if (known != widths_.cend())
        return *known;
    if (widths_.size() >= 4096)
        widths_.clear();
    const int width = itemDelegateForIndex(row)->sizeHint(option, row).width();
    widths_.insert(text, width);
    return width;
}

// Rows outside the area being painted were measured when they were last painted, and have
// not changed since (a change repaints a row), unless the column may become narrower.
void TreeWidget::FitColumnToRowsOnScreen(const QRect& painted) {
    if (!model())
        return;
    const int current = header()->sectionSize(0);
    int widest = narrower_ ? 0 : current;
    const QRect area = narrower_ ? viewport()->rect() : painted;
    narrower_ = false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    // The rows are walked as the view keeps them: nothing here asks the model for an index,
    // which would be costly while it holds insertions back under a wide folder.
    QModelIndex row = indexAt(QPoint(0, area.top()));
    const int height = row.isValid() ? std::max(1, rowHeight(row)) : 1;
    for (int rows = area.height() / height + 2; row.isValid() && rows > 0; --rows) {
        const int depth = row.data(FolderTreeModel::kDepthRole).toInt();
        const int indent = (depth + (rootIsDecorated() ? 1 : 0)) * indentation();
        widest = std::max(widest, indent + ContentWidth(option, row));
        row = indexBelow(row);
    }
    // Rows are found at the left edge of the viewport, which a column of no width (an empty
    // tree's) would not cover: no row would ever be measured, and the column stay empty.
    widest = std::max(widest, 1);
    if (widest != current)
        header()->resizeSection(0, widest);
}
