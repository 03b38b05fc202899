// Move to Trash, Refresh Selected, Largest Files and Show Size On Disk in the window: what
// moves and what may not, the tree after a move or a rescan of one folder against a fresh
// scan of the root, and the largest files against a listing made here.
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <set>

#include "FakeFolderSource.h"
#include "GuiTestSupport.h"
#include "ToolRun.h"
#include "WindowFixture.h"
#include "desktop/FreedesktopTrash.h"
#include "scanfile/ScanFileReader.h"
#include "tree/SizeMeasure.h"
#include "ui/LargestFilesWindow.h"
#include "ui/TrashCommand.h"

namespace {

// Every item with a record, as a set of lines: path, label and both measures of figures.
std::set<std::string> Figures(const ItemStore& store) {
    std::set<std::string> lines;
    std::vector<const ItemNode*> pending{&store.Top()};
    while (!pending.empty()) {
        const ItemNode* node = pending.back();
        pending.pop_back();
        for (const ItemNode& child : node->Children()) {
            pending.push_back(&child);
            if (std::optional<FolderRecord> r = child.Record()) {
                lines.insert(r->path + " | " + child.Text() + " | " + RecordText(*r) + " | " +
                             std::to_string(r->diskBytes));
            }
        }
    }
    return lines;
}

std::set<std::string> FreshScan(const std::string& root, FolderSource& source) {
    ItemStore store;
    ScanContext context{source};
    FolderTree::ScanRoot(store, root, context);
    return Figures(store);
}

std::set<std::string> FreshScan(const std::string& root) {
    DirectoryReader reader;
    return FreshScan(root, reader);
}

// The item whose record names path, or None.
TreeItem ItemAt(ItemStore& store, const std::string& path) {
    std::vector<TreeItem> pending{TreeItem::None};
    while (!pending.empty()) {
        TreeItem item = pending.back();
        pending.pop_back();
        for (TreeItem c = store.GetChild(item); c != TreeItem::None; c = store.GetNextItem(c)) {
            std::optional<FolderRecord> r = store.Record(c);
            if (r && !r->isFilesEntry && r->path == path)
                return c;
            pending.push_back(c);
        }
    }
    return TreeItem::None;
}

// A fake folder tree the window's scans read; each scan gets a source over the same folders.
class SharedFakeSource : public FolderSource {
  public:
    explicit SharedFakeSource(FakeFolderSource& fake) : fake_(fake) {}
    void EnterRoot(const std::string& path) override { fake_.EnterRoot(path); }
    void Enter(std::string_view name) override { fake_.Enter(name); }
    void Leave() override { fake_.Leave(); }
    bool List(FolderListing& out) override { return fake_.List(out); }

  private:
    FakeFolderSource& fake_;
};

}  // namespace

class TrashAndRefreshTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        SizeUnit::Reset();
        SizeMeasure::SetOnDisk(false);
    }
    void cleanup() { init(); }

    // A folder leaves the disk and the tree; the ancestors then read as a fresh scan does.
    // Roots and scan files never move; a move that fails leaves everything as it was.
    void moveToTrashTakesTheFolderOutAndTheAncestorsFollow() {
        TempDir dir;
        test::MakeTree(dir, "root", 2, 3);
        const std::string root = dir / "root";
        const std::string moved = root + "/sub0/sub1x";
        test::Fixture f;
        FreedesktopTrash trash(dir / "data", 0);
        f.moveToTrash = [&trash](const std::string& path, std::uint64_t size) {
            return trash.Move(path, size);
        };
        MainWindow& window = f.Open(root);
        QVERIFY(f.Scanned(root));
        ItemStore& store = f.Store();

        store.Select(store.GetChild(TreeItem::None));  // a root: never
        QVERIFY(!window.MenuAction(Command::MoveToTrash)->isEnabled());
        f.dialogs.answerYes = true;
        window.ExecuteCommand(Command::MoveToTrash);
        QVERIFY(f.dialogs.log.empty());

        const TreeItem item = ItemAt(store, moved);
        store.Select(item);
        QVERIFY(window.MenuAction(Command::MoveToTrash)->isEnabled());
        const FolderRecord record = *store.Record(item);
        f.dialogs.answerYes = false;  // Escape: nothing happens
        window.ExecuteCommand(Command::MoveToTrash);
        QCOMPARE(QString::fromStdString(f.dialogs.log.back()),
                 QString::fromStdString("ask Move to Trash: Move " + moved +
                                        " to the trash? It holds " + SizeText(record.diskBytes) +
                                        ", " + std::to_string(record.fileCount) + " files and " +
                                        std::to_string(record.folderCount) + " folders."));
        QCOMPARE(store.Node(item)->Id(), item);

        // It leaves the way Remove takes an item out: its next sibling is selected.
        const TreeItem next = store.GetNextItem(item);
        QVERIFY(next != TreeItem::None);
        f.dialogs.answerYes = true;
        window.ExecuteCommand(Command::MoveToTrash);
        QTRY_COMPARE(window.PendingTrashMoves(), std::size_t{0});
        QCOMPARE(store.Selection(), next);
        QCOMPARE(window.StatusText(),
                 QString::fromStdString("Moved " + moved +
                                        " to the trash: " + SizeText(record.diskBytes) + " freed"));
        QCOMPARE(store.Node(item), nullptr);
        QVERIFY(QFileInfo::exists(QString::fromStdString(dir / "data/Trash/files/sub1x/file2")));
        QCOMPARE(Figures(store), FreshScan(root));

        // The disk changed behind the tree's back: the move fails and nothing changes.
        const std::string vanished = root + "/sub1x";
        const TreeItem gone = ItemAt(store, vanished);
        std::system(("rm -rf " + Quote(vanished)).c_str());
        const std::set<std::string> before = Figures(store);
        store.Select(gone);
        window.ExecuteCommand(Command::MoveToTrash);
        QTRY_COMPARE(window.PendingTrashMoves(), std::size_t{0});
        QCOMPARE(window.StatusText(), QString::fromStdString("Could not move " + vanished +
                                                             " to the trash: No such file or "
                                                             "directory"));
        QCOMPARE(Figures(store), before);
    }

    // Refresh Selected lists the selected folder alone; the root's figures then equal a
    // fresh scan's, also with a file whose other name another folder counts.
    void refreshSelectedRescansOneFolderAndTheRootMatchesAFreshScan() {
        FakeFolderSource fake;
        FakeFolder& top = fake.roots["/r"];
        top.Folder("early").Linked("shared", 5000, 7).File("e", 10);
        FakeFolder& late = top.Folder("late");
        late.Folder("inner").File("i", 300);
        late.Linked("shared-again", 5000, 7).File("l", 20);
        top.File("t", 1);
        test::Fixture f;
        MainWindow& window = f.Open();
        window.Tree().SetSourceFactory(
            [&fake] { return std::make_unique<SharedFakeSource>(fake); });
        window.SetStartFolder("/r");
        window.ExecuteCommand(Command::Refresh);
        QVERIFY(f.Scanned("/r"));
        ItemStore& store = f.Store();

        FakeFolder& changed = *top.entries[1].folder;
        changed.File("new", 100000);
        changed.entries[0].folder->File("deeper", 7000);
        std::vector<std::string> listed;
        fake.beforeList = [&listed](const std::string& path) { listed.push_back(path); };
        store.Select(ItemAt(store, "/r/late"));
        window.ExecuteCommand(Command::RefreshSelected);
        QVERIFY(f.Scanned("/r/late"));
        QCOMPARE(listed, (std::vector<std::string>{"/r/late", "/r/late/inner"}));
        fake.beforeList = nullptr;
        QCOMPARE(Figures(store), FreshScan("/r", fake));
    }

    // The largest files below the selected folder, as a listing made here has them; a file
    // moved from the list leaves the tree's figures. A scan file's list comes from the file
    // and moves nothing.
    void largestFilesAgainstAListingAndFromAScanFile() {
        TempDir dir;
        test::MakeTree(dir, "root", 2, 2);
        dir.MakeFile("root/sub0/big", 50000);
        const std::string root = dir / "root";
        test::Fixture f;
        FreedesktopTrash trash(dir / "data", 0);
        f.moveToTrash = [&trash](const std::string& path, std::uint64_t size) {
            return trash.Move(path, size);
        };
        MainWindow& window = f.Open(root);
        QVERIFY(f.Scanned(root));
        ItemStore& store = f.Store();
        store.Select(ItemAt(store, root + "/sub0"));
        window.ExecuteCommand(Command::LargestFiles);
        LargestFilesWindow* list = window.LargestFiles();
        QVERIFY(list);
        QTRY_VERIFY(!list->Searching());

        // The listing made here: every file below sub0 by size, then path.
        std::vector<std::pair<std::uint64_t, std::string>> expected;
        const std::string base = root + "/sub0/";
        for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
            if (entry.is_regular_file())
                expected.push_back({entry.file_size(), entry.path().string().substr(base.size())});
        }
        std::sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        auto shown = [&list] {
            std::vector<std::pair<std::uint64_t, std::string>> files;
            for (const LargeFile& file : list->Listed())
                files.push_back({file.size, file.path});
            return files;
        };
        QCOMPARE(shown(), expected);
        list->List().sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(list->Listed().front().path, std::string("big"));
        QCOMPARE(list->List().model()->index(0, 0).data().toString(), QStringLiteral("0.05 M"));

        list->List().setCurrentIndex(list->List().model()->index(0, 0));
        f.dialogs.answerYes = true;
        list->TrashSelected();
        QTRY_COMPARE(window.PendingTrashMoves(), std::size_t{0});
        QVERIFY(!QFileInfo::exists(QString::fromStdString(base + "big")));
        QCOMPARE(list->Listed().size(), expected.size() - 1);
        QCOMPARE(Figures(store), FreshScan(root));

        QCOMPARE(
            RunProgram(BRIMWELL_REPORT_PATH, "-o " + Quote(dir / "scan.json") + " " + Quote(root))
                .status,
            0);
        for (const char* shard : {"0/2", "1/2"}) {
            QCOMPARE(RunProgram(BRIMWELL_REPORT_PATH, std::string("--shard ") + shard + " -o " +
                                                          Quote(dir / "shard-%k.json") + " " +
                                                          Quote(root))
                         .status,
                     0);
        }
        std::system(("rm -rf " + Quote(base)).c_str());  // the file alone knows the folder now
        f.chosenScanFiles = {dir / "scan.json"};
        window.ExecuteCommand(Command::OpenScanFile);
        QVERIFY(f.Scanned(dir / "scan.json"));
        store.Select(ItemAt(store, root + "/sub0"));
        QVERIFY(!window.MenuAction(Command::MoveToTrash)->isEnabled());
        window.ExecuteCommand(Command::LargestFiles);
        list = window.LargestFiles();
        QTRY_VERIFY(!list->Searching());
        expected.erase(expected.begin());  // big is in the trash
        QCOMPARE(shown(), expected);
        for (QPushButton* button : list->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Move to Trash"))
                QVERIFY(!button->isEnabled());
        }
        // Shards opened together: their graft is read again for the list.
        f.chosenScanFiles = {dir / "shard-0.json", dir / "shard-1.json"};
        window.ExecuteCommand(Command::OpenScanFile);
        QVERIFY(f.Scanned(dir / "shard-0.json" + " + " + dir / "shard-1.json"));
        store.Select(ItemAt(store, root + "/sub0"));
        window.ExecuteCommand(Command::LargestFiles);
        list = window.LargestFiles();
        QTRY_VERIFY(!list->Searching());
        QCOMPARE(shown(), expected);
    }

    // The measure is kept in the settings and every label follows it at once.
    void showSizeOnDiskIsKeptAndRelabels() {
        TempDir dir;
        test::MakeTree(dir, "root", 1, 1);
        const std::string root = dir / "root";
        test::Fixture f;
        MainWindow& window = f.Open(root);
        QVERIFY(f.Scanned(root));
        const TreeItem top = f.Store().GetChild(TreeItem::None);
        const std::uint64_t disk = f.Store().Record(top)->diskBytes;
        window.ExecuteCommand(Command::ShowSizeOnDisk);
        QCOMPARE(f.settings.values["SIZEONDISK"], std::string("1"));
        QVERIFY(window.MenuAction(Command::ShowSizeOnDisk)->isChecked());
        QCOMPARE(f.Store().Node(top)->Text(),
                 ItemLabel::Folder(root, 0, 3 + 3, 1, true).WithDiskBytes(disk).Text());

        SizeMeasure::SetOnDisk(false);
        test::Fixture again;
        again.settings.values = f.settings.values;
        MainWindow& reopened = again.Open();
        QVERIFY(reopened.MenuAction(Command::ShowSizeOnDisk)->isChecked());
        QVERIFY(SizeMeasure::OnDisk());
    }
};

QTEST_MAIN(TrashAndRefreshTest)
#include "TrashAndRefreshTest.moc"
