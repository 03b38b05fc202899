// The splitter between tree and panel, driven with the mouse: its bar, its hit zone, the
// line a drag shows, the limits of a drag, and the position saved at close.
#include <QTest>
#include <QToolBar>

#include "WindowFixture.h"
#include "ui/ContentArea.h"

using test::Fixture;

namespace {

// A shown window 800 pixels wide without settings to read, splitter at 200.
MainWindow& OpenWide(Fixture& f, bool withSettings = false) {
    MainWindow& window = f.Open("", withSettings);
    window.resize(800, 600);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("window not shown");
    return window;
}

// Where the tree ends and the panel begins.
struct Panes {
    int treeWidth;
    int panelLeft;
    bool operator==(const Panes&) const = default;
};

Panes PanesOf(MainWindow& window) {
    return {window.Tree().View().width(), window.Panel()->geometry().left()};
}

char* toString(const Panes& panes) {
    return qstrdup(qPrintable(
        QStringLiteral("tree width %1, panel at %2").arg(panes.treeWidth).arg(panes.panelLeft)));
}

// Mouse events go through the window system to the top-level window, which hands them to
// whatever lies under the point (or to the widget that holds the mouse), as a user's would.
void Mouse(QTest::MouseAction action, QWidget& widget, QPoint at) {
    QWidget* top = widget.window();
    QTest::mouseEvent(action, top->windowHandle(), Qt::LeftButton, {}, widget.mapTo(top, at));
}
void Press(ContentArea& area, int x, int y) {
    Mouse(QTest::MousePress, area, QPoint(x, y));
}
void MoveTo(ContentArea& area, int x, int y) {
    Mouse(QTest::MouseMove, area, QPoint(x, y));
}
void Release(ContentArea& area, int x, int y) {
    Mouse(QTest::MouseRelease, area, QPoint(x, y));
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}

}  // namespace

class SplitterTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { StopRequested = false; }

    void theBarLiesBetweenTreeAndPanelWithARaisedEdge() {
        Fixture f;
        MainWindow& window = OpenWide(f);
        ContentArea& area = *window.Content();
        QCOMPARE(PanesOf(window), (Panes{197, 203}));
        const QImage image = area.grab().toImage();
        const int y = area.height() / 2;
        const QPalette& colours = area.palette();
        QCOMPARE(Pixel(image, 197, y), colours.light().color().rgb());   // outer left
        QCOMPARE(Pixel(image, 202, y), colours.shadow().color().rgb());  // outer right
        QCOMPARE(Pixel(image, 201, y), colours.dark().color().rgb());    // inner right
        QCOMPARE(Pixel(image, 199, y), colours.button().color().rgb());  // the face
        QCOMPARE(Pixel(image, 200, 0), colours.light().color().rgb());   // the top edge
    }

    void aPressWithinTwoPixelsOfTheSplitterStartsADrag() {
        Fixture f;
        MainWindow& window = OpenWide(f);
        ContentArea& area = *window.Content();
        const int y = area.height() / 2;
        for (int offset : {-3, -2, 2, 3}) {
            area.SetSplitterPos(200);
            Press(area, 200 + offset, y);
            const bool hit = offset == -2 || offset == 2;
            QVERIFY2(area.Dragging() == hit, qPrintable(QString::number(offset)));
            QCOMPARE(area.DragLine() != nullptr, hit);
            if (hit) {
                QCOMPARE(area.DragLine()->geometry(), QRect(197 + offset, 0, 6, area.height()));
                QCOMPARE(PanesOf(window), (Panes{197, 203}));  // nothing moves before release
            }
            Release(area, 200 + offset, y);
            QVERIFY(!area.Dragging());
            QCOMPARE(area.DragLine(), nullptr);
            // A click on the bar centres the splitter on the pointer; anything else leaves it.
            QCOMPARE(area.SplitterPos(), hit ? 200 + offset : 200);
        }

        // The pointer shows where the splitter can be grabbed.
        area.SetSplitterPos(200);
        MoveTo(area, 201, y);
        QCOMPARE(area.cursor().shape(), Qt::SizeHorCursor);
        MoveTo(area, 197, y);
        QCOMPARE(area.cursor().shape(), Qt::ArrowCursor);

        // A press on the toolbar row at the splitter's x never grabs it.
        QToolBar* bar = window.Toolbar().Window();
        QPoint onBar = bar->mapTo(&window, QPoint(0, bar->height() / 2));
        onBar.setX(area.mapTo(&window, QPoint(200, 0)).x());
        Mouse(QTest::MousePress, window, onBar);
        QVERIFY(!area.Dragging());
        Mouse(QTest::MouseRelease, window, onBar);
    }

    void aDragShowsItsLineAndAppliesOnReleaseWithinTheLimits() {
        Fixture f;
        MainWindow& window = OpenWide(f, true);
        ContentArea& area = *window.Content();
        const int y = area.height() / 2;
        const int width = area.width();

        Press(area, 201, y);
        MoveTo(area, 350, y);
        QCOMPARE(area.DragLine()->geometry(), QRect(347, 0, 6, area.height()));
        QCOMPARE(PanesOf(window), (Panes{197, 203}));
        Release(area, 350, y);
        QCOMPARE(area.SplitterPos(), 350);
        QCOMPARE(PanesOf(window), (Panes{347, 353}));
        QCOMPARE(window.Panel()->geometry().right(), width + 5);

        // Past the left edge: the line stops at 3, the splitter at 6.
        Press(area, 350, y);
        MoveTo(area, 2, y);
        MoveTo(area, -40, y);
        QCOMPARE(area.DragLine()->geometry().left(), 3);
        Release(area, -40, y);
        QCOMPARE(area.SplitterPos(), 6);
        QCOMPARE(PanesOf(window), (Panes{3, 9}));

        // Past the right edge: the line stops at width - 6, the splitter at width - 3.
        Press(area, 7, y);
        MoveTo(area, width + 50, y);
        QCOMPARE(area.DragLine()->geometry().left(), width - 6);
        Release(area, width + 50, y);
        QCOMPARE(area.SplitterPos(), width - 3);
        QCOMPARE(PanesOf(window), (Panes{width - 6, width}));

        // A window narrower than the splitter hides the panel and keeps the position.
        area.SetSplitterPos(width + 40);
        QCOMPARE(window.Panel()->width(), 0);
        QCOMPARE(area.SplitterPos(), width + 40);

        area.SetSplitterPos(200);
        Press(area, 200, y);
        MoveTo(area, 260, y);
        Release(area, 260, y);
        window.close();
        QCOMPARE(f.settings.values["SPLITTERW0"], std::string("260"));
    }

    void aSecondPressEndsADragThatLostItsRelease() {
        Fixture f;
        MainWindow& window = OpenWide(f);
        ContentArea& area = *window.Content();
        const int y = area.height() / 2;
        Press(area, 200, y);
        MoveTo(area, 300, y);
        // The release never came (it went to another window): the next press ends the drag.
        QTest::mousePress(&area, Qt::LeftButton, {}, QPoint(500, y));
        QCOMPARE(area.SplitterPos(), 300);
        QVERIFY(!area.Dragging());
        QCOMPARE(PanesOf(window), (Panes{297, 303}));
        QTest::mouseRelease(&area, Qt::LeftButton, {}, QPoint(500, y));
        Release(area, 500, y);
    }
};

QTEST_MAIN(SplitterTest)
#include "SplitterTest.moc"
