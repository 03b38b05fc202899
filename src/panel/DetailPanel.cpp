// Drawing of the detail panel: header, bar frame, child lines and bars, all in the device
// pixels of whatever the painter draws on.
#include "panel/DetailPanel.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "compare/ChangeText.h"
#include "panel/ChildMeasures.h"
#include "report/ReportText.h"
#include "tree/ItemStore.h"

namespace {

constexpr int kMargin = 6;    // text indent; gap between name column, frame and right edge
constexpr int kBarInset = 3;  // a bar's edge inside its line, and the fill inside the edge

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 160, 0);

// The classic colours of a three-dimensional edge.
const QColor kHighlight(255, 255, 255);
const QColor kLight(227, 227, 227);
const QColor kShadow(160, 160, 160);
const QColor kDarkShadow(105, 105, 105);

// A two-pixel edge: an outer and an inner ring, each with its top and left sides in one
// colour and its bottom and right sides in another.
struct EdgeColours {
    QColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
};
const EdgeColours kBump{kLight, kDarkShadow, kDarkShadow, kLight};  // raised outer, sunken inner
const EdgeColours kSunken{kShadow, kHighlight, kDarkShadow, kLight};

// The rectangle from left to right and top to bottom, right and bottom excluded.
QRect Span(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// One ring of 1-pixel lines along the inside of box. The top-right and bottom-left corner
// pixels belong to the bottom and right sides. An empty box draws nothing.
void DrawRing(QPainter& painter, const QRect& box, const QColor& topLeft,
              const QColor& bottomRight) {
    if (box.width() <= 0 || box.height() <= 0)
        return;
    painter.fillRect(QRect(box.left(), box.top(), box.width() - 1, 1), topLeft);
    painter.fillRect(QRect(box.left(), box.top(), 1, box.height() - 1), topLeft);
    painter.fillRect(QRect(box.left(), box.bottom(), box.width(), 1), bottomRight);
    painter.fillRect(QRect(box.right(), box.top(), 1, box.height()), bottomRight);
}

void DrawEdge(QPainter& painter, const QRect& box, const EdgeColours& colours) {
    DrawRing(painter, box, colours.outerTopLeft, colours.outerBottomRight);
    DrawRing(painter, box.adjusted(1, 1, -1, -1), colours.innerTopLeft, colours.innerBottomRight);
}

// Draws text with the top of its line at y, as the panel's layout counts lines.
void DrawTextAt(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

QString ChildLabel(const ItemNode& child) {
    return QString::fromStdString(ReportText::ChildText(child.RecordName(), child.ShownBytes()));
}

// The horizontal layout of the bars: the scale starts at x0 and is `scale` pixels wide.
struct BarScale {
    int x0;
    int scale;
    int right;  // the drawing area's width
};

// Where a child's bar ends. A child as large as the largest gets the full bar, which also
// covers a set of children that are all empty; every other child is smaller than the
// largest, so the division is safe.
int BarEnd(std::uint64_t size, std::uint64_t largest, const BarScale& bars) {
    if (size == largest)
        return bars.right - kMargin;
    double ratio = static_cast<double>(size) / static_cast<double>(largest);
    return static_cast<int>(bars.x0 + ratio * bars.scale);
}

// A sunken edge inset 3 inside the line, and a red fill inset 3 further. Narrow bars lose
// their fill, then their edge.
void DrawBar(QPainter& painter, int x0, int end, int top, int bottom) {
    if (end <= 0)
        return;
    QRect edge = Span(x0 + kBarInset, top + kBarInset, end - kBarInset, bottom - kBarInset);
    if (edge.width() > 0)
        DrawEdge(painter, edge, kSunken);
    QRect fill = edge.adjusted(kBarInset, kBarInset, -kBarInset, -kBarInset);
    if (fill.width() > 0 && fill.height() > 0)
        painter.fillRect(fill, kRed);
}

// The drawing pass: line i (from 1) spans i * L to (i + 1) * L; a line that would end below
// the area is not drawn, nor is anything after it.
void DrawChildLines(QPainter& painter, const ItemNode& node, const ChildMeasure& measure,
                    const BarScale& bars, int height) {
    const int lineHeight = measure.lineHeight;
    int line = 1;
    for (const ItemNode& child : node.Children()) {
        if (!child.HasRecord())
            break;
        const int top = line * lineHeight;
        const int bottom = top + lineHeight;
        if (bottom > height)
            break;
        DrawTextAt(painter, kMargin, top, ChildLabel(child));
        int end = BarEnd(child.ShownBytes(), measure.largest, bars);
        DrawBar(painter, bars.x0, end, top, bottom);
        ++line;
    }
}

// A child's line while a comparison is shown: its text with its change after its size.
QString ChangeLabel(const ItemNode& child, const ItemChange& change) {
    return QString::fromStdString(ReportText::ChildText(child.RecordName(), child.TotalBytes()) +
                                  ChangeText::LabelSuffix(change));
}

std::uint64_t Magnitude(std::int64_t bytes) {
    return bytes < 0 ? static_cast<std::uint64_t>(-(bytes + 1)) + 1
                     : static_cast<std::uint64_t>(bytes);
}

// The child lines of a compared folder: as many as fit, the name column as wide as their
// texts, and each change as a bar from the middle of the bar frame, red to the right for
// growth, green to the left for shrinkage, scaled to the largest change of any child.
void DrawChangeLines(QPainter& painter, const ItemNode& node, const ItemChanges& changes, int width,
                     int height) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int lineHeight = metrics.height();
    std::uint64_t largest = 0;
    struct Shown {
        const ItemNode* child;
        ItemChange change;
    };
    std::vector<Shown> shown;
    const int fit = lineHeight > 0 ? height / lineHeight - 1 : 0;
    int nameWidth = 0;
    for (const ItemNode& child : node.Children()) {
        if (!child.HasRecord())
            break;
        std::optional<ItemChange> change = changes.ChangeOf(child);
        if (!change)
            continue;
        largest = std::max(largest, Magnitude(change->Bytes()));
        if (static_cast<int>(shown.size()) < fit) {
            nameWidth = std::max(nameWidth, metrics.horizontalAdvance(ChangeLabel(child, *change)));
            shown.push_back({&child, *change});
        }
    }
    const int x0 = nameWidth + kMargin;
    DrawEdge(painter, Span(x0, lineHeight, width - kMargin, height), kBump);
    const int middle = x0 + (width - nameWidth - 2 * kMargin) / 2;
    const int half = middle - x0;
    painter.fillRect(QRect(middle, lineHeight + 2, 1, std::max(0, height - lineHeight - 4)),
                     kDarkShadow);
    int top = lineHeight;
    for (const Shown& line : shown) {
        DrawTextAt(painter, kMargin, top, ChangeLabel(*line.child, line.change));
        const std::int64_t bytes = line.change.Bytes();
        const int length =
            largest == 0 ? 0
                         : static_cast<int>(static_cast<double>(Magnitude(bytes)) /
                                            static_cast<double>(largest) * (half - 2 * kBarInset));
        if (length > 0) {
            QRect bar = bytes > 0 ? Span(middle + 1, top + kBarInset, middle + 1 + length,
                                         top + lineHeight - kBarInset)
                                  : Span(middle - length, top + kBarInset, middle,
                                         top + lineHeight - kBarInset);
            DrawEdge(painter, bar, kSunken);
            QRect fill = bar.adjusted(2, 2, -2, -2);
            if (fill.width() > 0 && fill.height() > 0)
                painter.fillRect(fill, bytes > 0 ? kRed : kGreen);
        }
        top += lineHeight;
    }
}

// The selected item when it carries a record; null otherwise.
const ItemNode* SelectedNode(const ItemStore& tree) {
    TreeItem selected = tree.Selection();
    if (selected == TreeItem::None)
        return nullptr;
    const ItemNode* node = tree.Node(selected);
    return node && node->HasRecord() ? node : nullptr;
}

void PaintContent(QPainter& painter, int width, int height, const ItemStore& tree,
                  ChildMeasureCache* cache, const ItemChanges* changes) {
    painter.fillRect(QRect(0, 0, width, height), kWhite);
    const ItemNode* node = SelectedNode(tree);
    if (!node)
        return;
    painter.setPen(kBlack);
    const QFontMetrics metrics = painter.fontMetrics();

    QString header = QString::fromStdString(ReportText::HeaderText(*node->Record()));
    // Integer division truncates toward zero, so a header wider than the area starts left
    // of it and is cut at both sides.
    DrawTextAt(painter, (width - metrics.horizontalAdvance(header)) / 2, 0, header);

    if (changes && changes->ChangeOf(*node)) {
        DrawChangeLines(painter, *node, *changes, width, height);
        return;
    }
    ChildMeasure measure = cache ? cache->Measure(tree, *node, metrics, painter.font())
                                 : MeasureChildren(*node, metrics);
    const int x0 = measure.nameWidth + kMargin;
    DrawEdge(painter, Span(x0, measure.lineHeight, width - kMargin, height), kBump);
    BarScale bars{x0, width - measure.nameWidth - 2 * kMargin, width};
    DrawChildLines(painter, *node, measure, bars, height);
}

}  // namespace

DetailPanel::DetailPanel(const ItemStore& tree, QWidget* parent) : QFrame(parent), tree_(tree) {
    setFrameStyle(QFrame::Box | QFrame::Plain);  // a thin border around the panel
    setLineWidth(1);
    setAttribute(Qt::WA_OpaquePaintEvent);  // Paint() covers every pixel inside the border
}

void DetailPanel::Paint(QPainter& painter, const QRect& area, const ItemStore& tree) {
    Paint(painter, area, tree, nullptr);
}

void DetailPanel::Paint(QPainter& painter, const QRect& area, const ItemStore& tree,
                        ChildMeasureCache* cache, const ItemChanges* changes) {
    painter.save();
    painter.setClipRect(area);
    painter.translate(area.topLeft());
    PaintContent(painter, area.width(), area.height(), tree, cache, changes);
    painter.restore();
}

void DetailPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    Paint(painter, contentsRect(), tree_, &measures_, changes_);
    if (measures_.Measuring())  // a folder with many children: go on at the next pass
        QTimer::singleShot(0, this, [this] { update(); });
}

void DetailPanel::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}
