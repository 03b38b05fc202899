// The splitter between tree and panel, driven with the mouse: its bar, its hit zone, the
// line a drag shows, the limits of a drag, and the position saved at close.
#include <QTest>

#include "WindowFixture.h"
#include "ui/ContentArea.h"

using test::Fixture;

namespace {

// The tree's width and the panel's left edge.
QPoint Panes(MainWindow& window) {
    return {window.Tree().View().width(), window.Panel()->geometry().left()};
}

// A mouse event at (x, y) of the content area, sent through the window system to the
// top-level window, which hands it to whatever lies there (or to the widget holding the
// mouse), as a user's would.
void Mouse(QTest::MouseAction action, ContentArea& area, int x, int y) {
    QWidget* top = area.window();
    QTest::mouseEvent(action, top->windowHandle(), Qt::LeftButton, {},
                      area.mapTo(top, QPoint(x, y)));
}

}  // namespace

class SplitterTest : public QObject {
    Q_OBJECT

  private slots:
    void dragsWithinTwoPixelsOfTheBarAndWithinTheLimits() {
        Fixture f;
        MainWindow& window = f.Open();
        window.resize(800, 600);
        QVERIFY(f.Show());
        ContentArea& area = *window.Content();
        const int y = area.height() / 2;
        QCOMPARE(Panes(window), QPoint(197, 203));
        // The bar between them: outer left edge, face, inner and outer right edge, top edge.
        const QImage image = area.grab().toImage();
        const QPalette& colours = area.palette();
        QCOMPARE((QList<QRgb>{image.pixel(197, y), image.pixel(199, y), image.pixel(201, y),
                              image.pixel(202, y), image.pixel(200, 0)}),
                 (QList<QRgb>{colours.light().color().rgb(), colours.button().color().rgb(),
                              colours.dark().color().rgb(), colours.shadow().color().rgb(),
                              colours.light().color().rgb()}));

        for (int offset : {-3, -2, 2, 3}) {
            area.SetSplitterPos(200);
            Mouse(QTest::MousePress, area, 200 + offset, y);
            const bool hit = offset == -2 || offset == 2;
            QVERIFY2(area.Dragging() == hit, qPrintable(QString::number(offset)));
            if (hit)
                QCOMPARE(area.DragLine()->geometry(), QRect(197 + offset, 0, 6, area.height()));
            Mouse(QTest::MouseRelease, area, 200 + offset, y);
            QCOMPARE(area.DragLine(), nullptr);
            // A click on the bar centres the splitter on the pointer; anything else leaves it.
            QCOMPARE(area.SplitterPos(), hit ? 200 + offset : 200);
        }
        area.SetSplitterPos(200);
        Mouse(QTest::MouseMove, area, 201, y);
        QCOMPARE(area.cursor().shape(), Qt::SizeHorCursor);
        Mouse(QTest::MouseMove, area, 197, y);
        QCOMPARE(area.cursor().shape(), Qt::ArrowCursor);

        // A drag shows its line and applies on release, within the limits.
        const int width = area.width();
        Mouse(QTest::MousePress, area, 201, y);
        Mouse(QTest::MouseMove, area, 350, y);
        QCOMPARE(area.DragLine()->geometry(), QRect(347, 0, 6, area.height()));
        QCOMPARE(Panes(window), QPoint(197, 203));  // nothing moves before the release
        Mouse(QTest::MouseRelease, area, 350, y);
        QCOMPARE(Panes(window), QPoint(347, 353));
        QCOMPARE(window.Panel()->geometry().right(), width + 5);

        // Past the left edge: the line stops at 3, the splitter at 6.
        Mouse(QTest::MousePress, area, 350, y);
        Mouse(QTest::MouseMove, area, -40, y);
        QCOMPARE(area.DragLine()->geometry().left(), 3);
        Mouse(QTest::MouseRelease, area, -40, y);
        QCOMPARE(area.SplitterPos(), 6);
        QCOMPARE(Panes(window), QPoint(3, 9));

        // Past the right edge: the line stops at width - 6, the splitter at width - 3.
        Mouse(QTest::MousePress, area, 7, y);
        Mouse(QTest::MouseMove, area, width + 50, y);
        QCOMPARE(area.DragLine()->geometry().left(), width - 6);
        Mouse(QTest::MouseRelease, area, width + 50, y);
        QCOMPARE(area.SplitterPos(), width - 3);
        QCOMPARE(Panes(window), QPoint(width - 6, width));

        // A window narrower than the splitter hides the panel and keeps the position.
        area.SetSplitterPos(width + 40);
        QCOMPARE(window.Panel()->width(), 0);
        area.SetSplitterPos(200);
        Mouse(QTest::MousePress, area, 200, y);
        Mouse(QTest::MouseMove, area, 260, y);
        Mouse(QTest::MouseRelease, area, 260, y);
        window.close();
        QCOMPARE(f.settings.values["SPLITTERW0"], std::string("260"));
    }
};

QTEST_MAIN(SplitterTest)
#include "SplitterTest.moc"
