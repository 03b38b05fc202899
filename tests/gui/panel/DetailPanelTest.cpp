// Detail panel: the layout Paint() draws into an image, checked pixel by pixel against the
// described geometry, and the panel widget's repaint and context menu.
#include <QContextMenuEvent>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <vector>

#include "PanelTrees.h"
#include "panel/DetailPanel.h"
#include "report/ReportText.h"
#include "scan/SizeUnit.h"

namespace {

const QRgb kUnpainted = qRgb(255, 0, 255), kWhite = qRgb(255, 255, 255), kRed = qRgb(255, 0, 0);

// A pixel-sized font, so that lines are tall enough for the bars whatever the system font.
QFont TestFont() {
    QFont font;
    font.setPixelSize(20);
    return font;
}

const QFontMetrics& Metrics() {
    static QImage device(1, 1, QImage::Format_RGB32);
    static QFontMetrics metrics(TestFont(), &device);
    return metrics;
}

QImage Render(const ItemStore& store, int width, int height, QRect area = {}) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kUnpainted);
    QPainter painter(&image);
    painter.setFont(TestFont());
    DetailPanel::Paint(painter, area.isNull() ? image.rect() : area, store);
    return image;
}

int Count(const QImage& image, const QRect& box, QRgb colour) {
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

bool AllWhite(const QImage& image, const QRect& box) {
    return Count(image, box, kWhite) == box.width() * box.height();
}

// First and last red column of row y: (-1, -1) without red, last -2 if not one run.
std::pair<int, int> RedRun(const QImage& image, int y) {
    const int count = Count(image, QRect(0, y, image.width(), 1), kRed);
    if (count == 0)
        return {-1, -1};
    int first = 0;
    while (image.pixel(first, y) != kRed)
        ++first;
    bool oneRun = Count(image, QRect(first, y, count, 1), kRed) == count;
    return {first, oneRun ? first + count - 1 : -2};
}

// A selected root with the given children.
struct SampleTree {
    ItemStore store;
    TreeItem root = AddFolder(store, TreeItem::None, "/srv/data", 4096, 4, 10);
    int nameWidth = 0;  // W: the widest child text

    explicit SampleTree(const std::vector<std::pair<std::string, std::uint64_t>>& sizes) {
        for (const auto& [name, bytes] : sizes) {
            std::optional<FolderRecord> record = store.Record(AddFolder(store, root, name, bytes));
            QString text = QString::fromStdString(ReportText::ChildText(*record));
            nameWidth = std::max(nameWidth, Metrics().horizontalAdvance(text));
        }
        store.Select(root);
    }
};

// Counts the paints of the widget it filters, and the context menus that reach it.
class Watcher : public QWidget {
  public:
    int paints = 0, menus = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        ++menus;
        event->accept();
    }
};

}  // namespace

class DetailPanelTest : public QObject {
    Q_OBJECT

  private slots:
    // White without a selected record; never a pixel outside the area. The header's top left
    // corner is at ((width - text width) / 2, 0), truncated toward zero, so a header wider
    // than the panel is cut at both sides.
    void headerIsCentredInsideTheArea() {
        SampleTree tree({{"Holiday", 1000}});
        TreeItem bare = AddBareItem(tree.store, TreeItem::None, "/srv/pending");
        const QRect area(10, 20, 100, 100);
        for (TreeItem selected : {TreeItem::None, bare, tree.root}) {
            tree.store.Select(selected);
            QImage image = Render(tree.store, 140, 140, area);
            QCOMPARE(AllWhite(image, area), selected != tree.root);
            QCOMPARE(Count(image, image.rect(), kUnpainted), 140 * 140 - 100 * 100);
        }

        QString header =
            QString::fromStdString(ReportText::HeaderText(*tree.store.Record(tree.root)));
        const int textWidth = Metrics().horizontalAdvance(header);
        QImage reference(textWidth + 40, Metrics().height(), QImage::Format_RGB32);
        reference.fill(kWhite);
        QPainter painter(&reference);
        painter.setFont(TestFont());
        painter.drawText(QPoint(0, Metrics().ascent()), header);
        painter.end();
        for (int width : {textWidth + 101, textWidth - 51}) {
            QImage image = Render(tree.store, width, 3 * Metrics().height());
            const int x = (width - textWidth) / 2;
            int mismatches = 0;
            for (int y = 0; y < reference.height(); ++y) {
                for (int column = 0; column < width; ++column) {
                    bool inside = column - x >= 0 && column - x < reference.width();
                    QRgb expected = inside ? reference.pixel(column - x, y) : kWhite;
                    mismatches += image.pixel(column, y) != expected;
                }
            }
            QVERIFY2(mismatches == 0, qPrintable(QString::number(width)));
        }
    }

    // The frame: raised ring below the header. Bars: red fill inset 6, ending at
    // x0 + size / largest * S, or at the right margin for the largest; none for empty ones.
    void frameAndBars() {
        const std::vector<std::pair<std::string, std::uint64_t>> sizes = {
            {"Big", 1000}, {"Third", 333}, {"Empty", 0}};
        SampleTree tree(sizes);
        const int lineHeight = Metrics().height(), width = 400, height = 5 * lineHeight;
        const int x0 = tree.nameWidth + 6, scale = width - tree.nameWidth - 12;
        QImage image = Render(tree.store, width, height);

        const QRgb outerTopLeft = image.pixel(x0 + 10, lineHeight);
        const QRgb outerBottomRight = image.pixel(x0 + 10, height - 1);
        QCOMPARE(image.pixel(x0, height / 2), outerTopLeft);
        QCOMPARE(image.pixel(width - 7, height / 2), outerBottomRight);
        QVERIFY(qGray(outerTopLeft) > qGray(outerBottomRight));
        QCOMPARE(image.pixel(x0 + 10, lineHeight - 1), kWhite);
        QCOMPARE(image.pixel(width - 6, height / 2), kWhite);

        for (int line = 1; line <= 3; ++line) {
            const int top = line * lineHeight, size = int(sizes[line - 1].second);
            QVERIFY(!AllWhite(image, QRect(6, top, x0 - 6, lineHeight)));  // the text
            const int end = size == 1000 ? width - 6 : int(x0 + size / 1000.0 * scale);
            QCOMPARE(RedRun(image, top + lineHeight / 2),
                     size ? std::make_pair(x0 + 6, end - 7) : std::make_pair(-1, -1));
        }
        QCOMPARE((QList<QRgb>{image.pixel(x0 + 6, 2 * lineHeight - 6),
                              image.pixel(x0 + 6, 2 * lineHeight - 7)}),
                 (QList<QRgb>{kWhite, kRed}));
    }

    // All children empty: every bar is full and nothing divides by zero. No children: the
    // frame runs from (6, 0) around the header. A child still without a record ends the
    // measuring and the drawing.
    void emptyNoneAndBareChildren() {
        SampleTree empty({{"one", 0}, {"FILES", 0}});
        const int lineHeight = Metrics().height(), width = 300;
        QImage image = Render(empty.store, width, 4 * lineHeight);
        for (int line = 1; line <= 2; ++line) {
            QCOMPARE(RedRun(image, line * lineHeight + lineHeight / 2),
                     std::make_pair(empty.nameWidth + 12, width - 13));
        }
        const QRgb outerTopLeft = image.pixel(empty.nameWidth + 6, 2 * lineHeight);

        SampleTree none({});
        image = Render(none.store, width, 4 * lineHeight);
        QCOMPARE(image.pixel(6, 2 * lineHeight), outerTopLeft);
        QCOMPARE(image.pixel(width / 2, 0), outerTopLeft);
        QCOMPARE(Count(image, image.rect(), kRed), 0);

        SampleTree bare({{"Small", 100}});  // later children count neither for W nor size
        AddBareItem(bare.store, bare.root, "pending");
        AddFolder(bare.store, bare.root, "a much longer name than any other", 100000);
        const int x0 = bare.nameWidth + 6;
        image = Render(bare.store, width, 6 * lineHeight);
        QCOMPARE(RedRun(image, lineHeight + lineHeight / 2), std::make_pair(x0 + 6, width - 13));
        QVERIFY(AllWhite(image, QRect(0, 2 * lineHeight, x0, 4 * lineHeight)));
        QCOMPARE(Count(image, image.rect(), kRed),
                 Count(image, QRect(0, lineHeight, width, lineHeight), kRed));
    }

    // The fill needs S = width - W - 12 >= 13; lines need (i + 1) * L <= height.
    void tightAreas() {
        SampleTree tree({{"Big", 1000}, {"Half", 500}});
        const int lineHeight = Metrics().height(), x0 = tree.nameWidth + 6;
        const int mid = lineHeight + lineHeight / 2;
        QImage image = Render(tree.store, tree.nameWidth + 12 + 13, 4 * lineHeight);
        QCOMPARE(RedRun(image, mid), std::make_pair(x0 + 6, x0 + 6));
        image = Render(tree.store, tree.nameWidth + 12 + 12, 4 * lineHeight);
        QCOMPARE(Count(image, image.rect(), kRed), 0);

        image = Render(tree.store, 300, 2 * lineHeight - 1);
        QCOMPARE(Count(image, image.rect(), kRed), 0);
        QVERIFY(image.pixel(x0, lineHeight + 2) != kWhite);  // the frame is still drawn
        image = Render(tree.store, 300, 3 * lineHeight - 1);
        QVERIFY(RedRun(image, mid).first > 0);
        QCOMPARE(Count(image, QRect(0, 2 * lineHeight, 300, lineHeight - 1), kRed), 0);
    }

    // The widget keeps what it measured of the selected folder's children: a paint measures
    // only the children inserted or changed since the last one, at most a bounded number,
    // and once it has measured them all draws what a paint that measures everything draws,
    // through new and changed children, one without a record in the middle, a removal, a
    // unit switch and another selection.
    void keepsWhatItMeasuredAndDrawsWhatAFreshPaintDraws() {
        SampleTree tree({});
        ItemStore& store = tree.store;
        std::vector<TreeItem> children;
        for (int i = 0; i < 3000; ++i)
            children.push_back(AddFolder(store, tree.root, "c" + std::to_string(i), i % 997));
        DetailPanel panel(store);
        panel.setFont(TestFont());
        panel.resize(400, 12 * Metrics().height());
        const QRect inside = panel.contentsRect();
        auto same = [&] {  // what the widget shows, against a paint that measures everything
            QImage shown = panel.grab().toImage();
            for (int paints = 0; panel.MeasuringChildren() && paints < 100; ++paints)
                shown = panel.grab().toImage();
            return shown.copy(inside) == Render(store, inside.width(), inside.height());
        };
        panel.grab();
        QCOMPARE(panel.MeasuredChildTexts(), ChildMeasureCache::kTextsPerCall);
        QVERIFY(same());
        QCOMPARE(panel.MeasuredChildTexts(), std::size_t{3000});

        for (int i : {0, 1, 2, 2999})
            store.SetItemData(children[i],
                              FolderRecord::Full("/p", "wider name " + std::to_string(i), 5000 + i,
                                                 0, 0, 0, false));
        for (int i = 0; i < 3; ++i)
            AddFolder(store, tree.root, "new " + std::to_string(i), 10);
        QVERIFY(same());
        QCOMPARE(panel.MeasuredChildTexts(), std::size_t{3007});

        TreeItem bare = store.InsertItem("c1", 0, tree.root, InsertAt::Sorted);  // no record yet
        QVERIFY(same());
        store.SetItemData(bare, FolderRecord::Full("/p", "c1", 7, 0, 0, 0, false));
        QVERIFY(same());
        QCOMPARE(panel.MeasuredChildTexts(), std::size_t{3008});

        store.DeleteItem(children[2999]);  // the largest goes
        QVERIFY(same());
        SizeUnit::Toggle();
        QVERIFY(same());
        SizeUnit::Toggle();
        store.Select(children[5]);
        QVERIFY(same());
    }

    // The widget paints inside its border in black whatever the theme, repaints on
    // Refresh(), and swallows context-menu requests so that its parent opens no menu.
    void widget() {
        SampleTree tree({{"Big", 1000}});
        Watcher parent;
        auto* panel = new DetailPanel(tree.store, &parent);
        panel->setGeometry(0, 0, 400, 200);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
        panel->setPalette(palette);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QCoreApplication::processEvents();
        panel->installEventFilter(&parent);
        panel->Refresh();
        QTRY_VERIFY_WITH_TIMEOUT(parent.paints > 0, 10000);
        QImage shown = panel->grab().toImage();
        QVERIFY(shown.pixel(0, 0) != kWhite);  // the border
        QVERIFY(Count(shown, shown.rect(), kRed) > 0);
        for (int y = 1; y < 199; ++y)
            for (int x = 1; x < 399; ++x)
                QVERIFY(qBlue(shown.pixel(x, y)) <= qRed(shown.pixel(x, y)));

        auto* plain = new QWidget(&parent);
        for (QWidget* child : {plain, static_cast<QWidget*>(panel)}) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
            QApplication::sendEvent(child, &event);
        }
        QCOMPARE(parent.menus, 1);  // only the plain child's request reached the parent
    }
};

QTEST_MAIN(DetailPanelTest)
#include "DetailPanelTest.moc"
