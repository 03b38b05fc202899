// Placement of tree and panel around the splitter.
#include "ui/ContentArea.h"

#include <algorithm>

ContentArea::ContentArea(QWidget* parent) : QWidget(parent) {}

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
    int height = this->height();
    if (tree_)
        tree_->setGeometry(0, 0, std::max(0, splitterPos_ - 3), height);
    if (panel_)
        panel_->setGeometry(splitterPos_ + 3, 0, std::max(0, width() - splitterPos_ + 3), height);
}

void ContentArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}
