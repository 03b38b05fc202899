// A root compared with an earlier scan file in the window: a scan file and a scan of the
// same folder side by side, the changes after the labels, the gone folder, the order by
// change, the panel's change bars, Refresh, and leaving the comparison.
#include <QTest>

#include "WindowFixture.h"

using test::Fixture;

namespace {

const ItemNode* ChildNamed(const ItemNode& parent, const std::string& name) {
    for (const ItemNode& child : parent.Children()) {
        if (child.HasRecord() && child.RecordName() == name)
            return &child;
    }
    return nullptr;
}

std::vector<std::string> ChildNames(const ItemNode& parent) {
    std::vector<std::string> names;
    for (const ItemNode& child : parent.Children())
        names.push_back(child.RecordName());
    return names;
}

// Whether the image has a pixel of colour left of x, or right of it.
bool HasPixel(const QImage& image, QColor colour, int x, bool left) {
    for (int y = 0; y < image.height(); ++y) {
        for (int at = left ? 0 : x; at < (left ? x : image.width()); ++at) {
            if (image.pixelColor(at, y) == colour)
                return true;
        }
    }
    return false;
}

}  // namespace

class CompareWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SizeUnit::Reset(); }

    void aRootComparedWithAnEarlierScanFile() {
        TempDir dir;
        dir.MakeFolder("t");
        dir.MakeFolder("t/a");
        dir.MakeFile("t/a/f", 1048576);
        dir.MakeFolder("t/b");
        dir.MakeFile("t/b/f", 2 * 1048576);
        const std::string before = dir / "before.json";
        WriteText(before, "[1,2,{\"timestamp\":1700000000},\n[{\"name\":\"" + dir / "t" +
                              "\"},[{\"name\":\"a\"},{\"name\":\"f\",\"asize\":1048576}],"
                              "[{\"name\":\"b\"},{\"name\":\"f\",\"asize\":1048576}],"
                              "[{\"name\":\"gone\"},{\"name\":\"g\",\"asize\":3145728}]]]\n");

        Fixture f;
        MainWindow& window = f.Open(dir / "t");
        QVERIFY(f.Scanned(dir / "t"));
        const std::string plain = test::Dump(f.Store());
        f.chosenScanFiles = {before};
        QVERIFY(window.ExecuteCommand(Command::OpenScanFile));
        QVERIFY(f.Scanned(before));
        // The file's root stands beside the scan of the same folder; selected, it names its
        // file and time.
        ItemStore& store = f.Store();
        QCOMPARE(store.Top().Children().Size(), std::size_t{2});
        const TreeItem fileRoot = store.Top().Children().At(1)->Id();
        store.Select(TreeItem::None);
        store.Select(fileRoot);
        QVERIFY(window.StatusText().startsWith(QString::fromStdString("Read from " + before)));

        const ItemNode& root = *store.Top().Children().Front();
        store.Select(ChildNamed(root, "a")->Id());  // any item of the root
        QVERIFY(window.ExecuteCommand(Command::CompareWithScanFile));
        QTRY_VERIFY(window.Comparison()->Shown());
        QVERIFY(window.MenuAction(Command::CompareWithScanFile)->isChecked());
        FolderTreeModel& model = window.Tree().Model();
        auto label = [&](const std::string& name) {
            return model.IndexOf(ChildNamed(root, name)->Id()).data().toString();
        };
        auto colour = [&](const std::string& name) {
            return model.IndexOf(ChildNamed(root, name)->Id()).data(Qt::ForegroundRole);
        };
        QVERIFY(label("b").endsWith("( 2.00 M , Files : 1 , Folders : 0 )   +1.00 M"));
        QVERIFY(label("a").endsWith("( 1.00 M , Files : 1 , Folders : 0 )   +0.00 M"));
        QCOMPARE(label("gone"), QStringLiteral("gone   ( 3.00 M , Files : 1 , Folders : 0 )   "
                                               "-3.00 M gone"));
        QCOMPARE(colour("b").value<QColor>(), QColor(170, 0, 0));
        QCOMPARE(colour("gone").value<QColor>(), QColor(128, 128, 128));
        QVERIFY(!colour("a").isValid());

        // The panel of the root: gone's shrinkage left of the middle, b's growth right of it.
        store.Select(root.Id());
        window.Panel()->resize(600, 300);
        QImage panel = window.Panel()->grab().toImage();
        QVERIFY(HasPixel(panel, QColor(0, 160, 0), panel.width() * 2 / 3, true));
        QVERIFY(HasPixel(panel, QColor(255, 0, 0), panel.width() / 2, false));

        QVERIFY(window.ExecuteCommand(Command::SortByChange));
        QTRY_COMPARE(ChildNames(root), (std::vector<std::string>{"gone", "b", "a", "FILES"}));

        // A fresh scan of the root (Refresh, once the folder is the start again) is compared
        // with the same file.
        dir.MakeFile("t/a/more", 524288);
        f.chosenFolder = dir / "t";
        QVERIFY(window.ExecuteCommand(Command::Open));
        QVERIFY(f.Scanned(dir / "t"));
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(f.Scanned(dir / "t"));
        QTRY_VERIFY(window.Comparison()->Shown() && ChildNamed(root, "gone"));
        QVERIFY(label("a").endsWith("   +0.50 M"));
        QTRY_COMPARE(ChildNames(root), (std::vector<std::string>{"gone", "b", "a", "FILES"}));

        // Leaving it: the plain labels, no gone row, the order by size.
        QVERIFY(window.ExecuteCommand(Command::CompareWithScanFile));
        QVERIFY(!window.MenuAction(Command::CompareWithScanFile)->isChecked());
        QTRY_COMPARE(ChildNames(root), (std::vector<std::string>{"b", "a", "FILES"}));
        QCOMPARE(label("b").toStdString(), ChildNamed(root, "b")->Text());
        std::remove((dir / "t/a/more").c_str());
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(f.Scanned(dir / "t"));
        store.Select(root.Id());
        QCOMPARE(test::Dump(store, &root), plain);
    }
};

QTEST_MAIN(CompareWindowTest)
#include "CompareWindowTest.moc"
