// The splitter's hit zone, the limits of its drag, and the line that shows the drag.
#include "ui/Splitter.h"

#include <QPainter>

bool Splitter::Hits(int pos, int x) {
    return pos - kHalfWidth < x && x < pos + kHalfWidth;
}

void Splitter::Begin(int x) {
    dragging_ = true;
    lineLeft_ = x - kHalfWidth;
}

void Splitter::Move(int x, int width) {
    lineLeft_ = x - kHalfWidth;
    if (lineLeft_ + 2 * kHalfWidth > width)
        lineLeft_ = width - 2 * kHalfWidth;
    else if (lineLeft_ <= kLeftLimit - kHalfWidth)
        lineLeft_ = kLeftLimit - kHalfWidth;
}

int Splitter::End(int width) {
    dragging_ = false;
    if (lineLeft_ + 2 * kHalfWidth > width)
        lineLeft_ = width - 2 * kHalfWidth;
    int pos = lineLeft_ + kHalfWidth;
    return pos <= kLeftLimit ? kLeftLimit : pos;
}

SplitterLine::SplitterLine(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void SplitterLine::paintEvent(QPaintEvent* /*event*/) {
    // Every other pixel, like a halftone brush: what lies beneath stays visible.
    QPainter painter(this);
    painter.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
}
