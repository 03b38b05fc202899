// Placement of tree and panel around the splitter, the splitter bar, and its drag.
#include "ui/ContentArea.h"

#include <qdrawutil.h>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

ContentArea::ContentArea(QWidget* parent) : QWidget(parent), line_(new SplitterLine(this)) {
    setMouseTracking(true);  // the cursor shows where the splitter can be grabbed
}

void ContentArea::SetTree(QWidget* tree) {
    tree_ = tree;
    if (tree_)
        tree_->setParent(this);
    Layout();
}

void ContentArea::SetPanel(QWidget* panel) {
    if (panel_ && panel_ != panel)
        delete panel_.data();
    panel_ = panel;
    if (panel_) {
        panel_->setParent(this);
        panel_->show();
    }
    Layout();
}

void ContentArea::SetSplitterPos(int pos) {
    splitterPos_ = pos;
    Layout();
}

void ContentArea::Layout() {
    const int half = Splitter::kHalfWidth;
    int height = this->height();
    if (tree_)
        tree_->setGeometry(0, 0, std::max(0, splitterPos_ - half), height);
    if (panel_)
        panel_->setGeometry(splitterPos_ + half, 0, std::max(0, width() - splitterPos_ + half),
                            height);
    line_->raise();
    update();
    emit LaidOut();
}

void ContentArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void ContentArea::paintEvent(QPaintEvent* /*event*/) {
    // The bar: a raised edge around a face of the button colour.
    QPainter painter(this);
    const QRect bar(splitterPos_ - Splitter::kHalfWidth, 0, 2 * Splitter::kHalfWidth, height());
    const QBrush face = palette().button();
    qDrawWinPanel(&painter, bar, palette(), false, &face);
}

bool ContentArea::OnSplitter(const QPoint& point) const {
    if (!tree_ || point.y() < tree_->geometry().top() || point.y() > tree_->geometry().bottom())
        return false;
    return Splitter::Hits(splitterPos_, point.x());
}

void ContentArea::ShowLine() {
    line_->setGeometry(splitter_.LineLeft(), 0, 2 * Splitter::kHalfWidth, height());
    line_->raise();
    line_->show();
}

void ContentArea::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (splitter_.Dragging())
        EndDrag();
    const QPoint at = event->position().toPoint();
    if (OnSplitter(at)) {
        splitter_.Begin(at.x());
        ShowLine();
    }
    event->accept();
}

void ContentArea::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (splitter_.Dragging()) {
        splitter_.Move(at.x(), width());
        ShowLine();
    } else if (OnSplitter(at)) {
        setCursor(Qt::SizeHorCursor);
    } else {
        unsetCursor();
    }
    event->accept();
}

void ContentArea::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && splitter_.Dragging())
        EndDrag();
    event->accept();
}

void ContentArea::EndDrag() {
    splitterPos_ = splitter_.End(width());
    line_->hide();
    Layout();
}
