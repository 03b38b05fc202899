// Placing the toolbar and the content area, and painting the band beside the toolbar.
#include "ui/ClientArea.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kOverlap = 2;  // the content area covers the toolbar's lowest rows

}  // namespace

ClientArea::ClientArea(QWidget* parent) : QWidget(parent) {}

void ClientArea::SetToolbar(QWidget* toolbar, int width) {
    toolbar_ = toolbar;
    if (toolbar_) {
        toolbar_->setParent(this);
        toolbar_->setGeometry(0, 0, width, toolbar_->sizeHint().height());
        toolbar_->show();
    }
    Layout();
}

void ClientArea::SetContent(QWidget* content) {
    content_ = content;
    if (content_) {
        content_->setParent(this);
        content_->show();
    }
    Layout();
}

int ClientArea::ContentTop() const {
    return toolbar_ ? toolbar_->height() - kOverlap : 0;
}

void ClientArea::Layout() {
    if (!content_)
        return;
    const int top = ContentTop();
    content_->setGeometry(0, top, width(), std::max(0, height() - top));
    content_->raise();
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void ClientArea::paintEvent(QPaintEvent* /*event*/) {
    if (!toolbar_)
        return;
    // From 2 pixels inside the toolbar's right edge (the toolbar covers those) to the
    // right edge, above the content area.
    const int left = toolbar_->width() - kOverlap;
    QPainter(this).fillRect(QRect(left, 0, width() - left, ContentTop()), kBandColor);
}
