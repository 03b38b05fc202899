// The main window: creation, closing, and the handlers of the command table.
#include "app/MainWindow.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/AboutDialog.h"
#include "app/MenuBuilder.h"
#include "app/ResourceTables.h"
#include "app/StatusHints.h"
#include "desktop/Dialogs.h"
#include "desktop/TerminationSignals.h"
#include "panel/DetailPanel.h"
#include "panel/ReportExport.h"
#include "panel/ReportPrint.h"
#include "scan/SizeUnit.h"
#include "tree/SizeMeasure.h"
#include "ui/ClientArea.h"
#include "ui/ContentArea.h"
#include "ui/DesktopMenu.h"
#include "ui/LargestFilesWindow.h"
#include "ui/ScanFileRoots.h"
#include "ui/TrashCommand.h"

struct MainWindow::FolderCheck {
    std::string path;  // set before the check starts
    std::mutex mutex;
    bool done = false;
    bool here = false;  // the path is a folder on this machine
};

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      roots_(services_.roots ? services_.roots : &RootList::Instance()),
      splitterPos_(services_.settings ? ReadSplitterPos(*services_.settings) : 200) {
    BuildCommands();
}

MainWindow::~MainWindow() {
    delete largestFiles_;  // it reads the tree, which goes next
    trash_.reset();
    if (tree_)
        tree_->StopScans();
    if (content_)
        content_->SetPanel(nullptr);  // the panel reads the store, which goes first
}

void MainWindow::BuildCommands() {
    commands_.Add(Command::About, [this] { ShowAbout(); });
    commands_.Add(Command::Exit, [this] {
        tree_->StopRunningScans();
        close();
    });
    commands_.Add(Command::Refresh, [this] { ScanStart(); });
    commands_.Add(Command::OpenScanFile, [this] { OpenScanFiles(); });
    commands_.Add(Command::Remove, [this] { RemoveSelected(); });
    commands_.Add(Command::Open, [this] { BrowseForFolder(); });
    commands_.Add(Command::Stop, [this] { tree_->StopRunningScans(); });
    commands_.Add(Command::ShowInMeg, [this] { ToggleUnits(); });
    commands_.Add(Command::StayOnOneFileSystem,
                  [this] { ToggleScanRule(scanRules_.oneFileSystem, kOneFileSystemKey); });
    commands_.Add(Command::IncludeHidden,
                  [this] { ToggleScanRule(scanRules_.includeHidden, kHiddenEntriesKey); });
    commands_.Add(Command::ExploreSelected, [this] { ExploreSelected(); });
    commands_.Add(Command::CompareWithScanFile, [this] { CompareWithScanFile(); });
    commands_.Add(Command::SortByChange, [this] {
        sortByChange_ = !sortByChange_;
        comparison_->SetSortByChange(sortByChange_);
    });
    commands_.Add(Command::PrintSelected, [this] { PrintReport(); });
    commands_.Add(Command::ExportInfo, [this] {
        tree_->StopRunningScans();
        ExportReport();
    });
    commands_.Add(Command::MoveToTrash, [this] { MoveSelectedToTrash(); });
    commands_.Add(Command::RefreshSelected, [this] { RefreshSelected(); });
    commands_.Add(Command::LargestFiles, [this] { ShowLargestFiles(); });
    commands_.Add(Command::ShowSizeOnDisk, [this] { ToggleSizeOnDisk(); });
    commands_.SetStartingFolderHandler([this](int index) { ChooseStartingFolder(index); });
}

void MainWindow::Create() {
    std::string suffix = services_.settings ? services_.settings->ReadString("DEFAULT") : "";
    setWindowTitle(QString::fromUtf8(Resources::LoadString(103)) + QString::fromStdString(suffix));
    const Dispatch dispatch = [this](int command) { ExecuteCommand(command); };
    menuActions_ = BuildMenuBar(*menuBar(), dispatch);
    InstallAccelerators(*this, dispatch);
    hints_ = new StatusHints([this](const QString& hint) { SetStatusText(hint); }, this);
    hints_->Watch(*menuBar());
    // The platform's default size, which the window has while its parts are created.
    if (QScreen* screen = this->screen())
        resize(screen->availableSize() * 2 / 3);
    CreateBars();
    CreateViews();
    RestorePlacement();
}

void MainWindow::CreateBars() {
    statusText_ = new QLabel(QStringLiteral("Started"));
    statusBar()->addWidget(statusText_, 1);
    const Dispatch dispatch = [this](int command) { ExecuteCommand(command); };
    desktopMenu_ = new DesktopMenu(*roots_, Command::FirstStartingFolder, dispatch,
                                   services_.mountNames, this);
    hints_->Watch(*desktopMenu_);
    itemMenu_ = new QMenu(this);
    FillMenu(*itemMenu_, Resources::ItemMenu(), dispatch);
    hints_->Watch(*itemMenu_);
    client_ = new ClientArea;
    setCentralWidget(client_);
    toolbar_.Create(*client_, Resources::ToolbarButtons(), dispatch, desktopMenu_);
    // The toolbar spans the window as it is now and keeps that width when it is resized.
    client_->SetToolbar(toolbar_.Window(), width());
}

void MainWindow::CreateViews() {
    tree_ = std::make_unique<FolderTreeView>(startFolder_);
    content_ = new ContentArea;
    content_->SetSplitterPos(splitterPos_);
    content_->SetTree(&tree_->View());
    panel_ = new DetailPanel(tree_->Store());
    content_->SetPanel(panel_);
    client_->SetContent(content_);
    comparison_ = std::make_unique<ComparisonView>(tree_->Store(), tree_->Model());
    panel_->SetChanges(comparison_.get());
    connect(comparison_.get(), &ComparisonView::StatusText, this, &MainWindow::SetStatusText);
    connect(comparison_.get(), &ComparisonView::Changed, this, [this] {
        UpdateCommandStates();
        RefreshPanel();
    });
    connect(tree_.get(), &FolderTreeView::SelectionChanged, this,
            &MainWindow::ShowSourceOfSelection);
    connect(tree_.get(), &FolderTreeView::ScanCompleted, this, [this](const QString& folder) {
        // Refresh keeps the comparison: the fresh scan of its root is compared again.
        if (!comparison_->Active())
            return;
        const TreeItem root = comparison_->Root();
        std::optional<ScanFileRoots::Source> file = tree_->ScanFileOf(root);
        std::optional<FolderRecord> record = tree_->Store().Record(root);
        const std::string source = file ? file->file : record ? record->path : std::string();
        if (ScanThreads::FolderKey(source) == ScanThreads::FolderKey(folder.toStdString()))
            comparison_->RootRescanned();
    });

    connect(content_, &ContentArea::LaidOut, this, &MainWindow::RefreshPanel);
    connect(tree_.get(), &FolderTreeView::StatusText, this, &MainWindow::SetStatusText);
    connect(tree_.get(), &FolderTreeView::SelectionChanged, this, &MainWindow::RefreshPanel);
    connect(tree_.get(), &FolderTreeView::SelectionChanged, this, &MainWindow::UpdateCommandStates);
    connect(tree_.get(), &FolderTreeView::SelectionChanged, this, &MainWindow::ForgetItemFailure);
    connect(tree_.get(), &FolderTreeView::ScanCompleted, this, &MainWindow::UpdateCommandStates);
    connect(tree_.get(), &FolderTreeView::PanelRefreshRequested, this, &MainWindow::RefreshPanel);
    connect(tree_.get(), &FolderTreeView::ContextMenuRequested, this, &MainWindow::ShowItemMenu);
    ReadScanRules();
    SizeMeasure::SetOnDisk(services_.settings &&
                           services_.settings->ReadInt(kSizeOnDiskKey, 0) != 0);
    TrashMoves::Mover mover =
        services_.moveToTrash ? services_.moveToTrash : TrashMoves::Freedesktop(std::nullopt);
    TrashCommand::Hooks hooks;
    hooks.confirm = [this](const std::string& text) {
        return services_.dialogs && services_.dialogs->AskYesNo("Move to Trash", text);
    };
    hooks.showStatus = [this](const QString& text) { SetStatusText(text); };
    hooks.removeItem = [this](TreeItem item) { RemoveItem(item); };
    hooks.refreshPanel = [this] { RefreshPanel(); };
    trash_ = std::make_unique<TrashCommand>(*tree_, std::move(mover), std::move(hooks));
    UpdateCommandStates();
    if (!startFolder_.empty())
        ScanStart();
}

// The two View options a previous run left, for the scans of this one.
void MainWindow::ReadScanRules() {
    if (services_.settings) {
        scanRules_.oneFileSystem = services_.settings->ReadInt(kOneFileSystemKey, 0) != 0;
        scanRules_.includeHidden = services_.settings->ReadInt(kHiddenEntriesKey, 0) != 0;
    }
    tree_->SetRules(scanRules_);
    ShowScanRules();
}

// Switches one View option; it applies to the next scan (Refresh rescans with it) and is
// stored at once.
void MainWindow::ToggleScanRule(bool& rule, const char* key) {
    rule = !rule;
    tree_->SetRules(scanRules_);
    if (services_.settings)
        services_.settings->WriteInt(key, rule ? 1 : 0);
    ShowScanRules();
}

void MainWindow::ShowScanRules() {
    if (QAction* item = MenuAction(Command::StayOnOneFileSystem))
        item->setChecked(scanRules_.oneFileSystem);
    if (QAction* item = MenuAction(Command::IncludeHidden))
        item->setChecked(scanRules_.includeHidden);
}

void MainWindow::ScanStart() {
    if (startIsScanFile_)
        tree_->OpenScanFile(startFolder_);
    else
        tree_->StartScan();
}

void MainWindow::RestorePlacement() {
    restoredOuter_ = services_.settings ? ReadPlacement(*services_.settings) : std::nullopt;
    if (!restoredOuter_)
        return;
    move(restoredOuter_->topLeft());
    resize(restoredOuter_->size());
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!restoredOuter_)
        return;
    // The saved size is the outer one; once the frame is known, the inside is made smaller
    // by it, so that the window does not grow by its frame at every start.
    QTimer::singleShot(0, this, [this] {
        if (!restoredOuter_)
            return;
        QSize frame = frameGeometry().size() - geometry().size();
        if (!frame.isEmpty()) {
            resize(restoredOuter_->size() - frame);
            restoredOuter_.reset();
        }
    });
}

void MainWindow::SavePlacement() {
    if (services_.settings)
        WritePlacement(*services_.settings, frameGeometry(), SplitterPos());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!isMinimized())
        SavePlacement();
    // Scans that stop promptly are joined; one blocked in the file system is left to the end
    // of the process (RunWindowLoop), so that closing never waits for a hung mount.
    if (tree_)
        tree_->StopScans(kScanStopWait);
    QMainWindow::closeEvent(event);
}

QWidget* MainWindow::Panel() const {
    return content_ ? content_->Panel() : nullptr;
}

int MainWindow::SplitterPos() const {
    return content_ ? content_->SplitterPos() : splitterPos_;
}

void MainWindow::SetStatusText(const QString& text) {
    if (statusText_)
        statusText_->setText(text);
}

QString MainWindow::StatusText() const {
    return statusText_ ? statusText_->text() : QString();
}

bool MainWindow::ExecuteCommand(int command) {
    if (!tree_)
        return false;  // not created yet
    bool handled = commands_.Execute(command);
    UpdateCommandStates();
    return handled;
}

QAction* MainWindow::MenuAction(int command) const {
    auto found = menuActions_.find(command);
    return found == menuActions_.end() ? nullptr : found->second;
}

QAction* MainWindow::ItemMenuAction(int command) const {
    if (!itemMenu_)
        return nullptr;
    for (QAction* action : itemMenu_->actions()) {
        if (!action->isSeparator() && action->data().toInt() == command)
            return action;
    }
    return nullptr;
}

LargestFilesWindow* MainWindow::LargestFiles() const {
    return largestFiles_;
}

std::size_t MainWindow::PendingTrashMoves() const {
    return trash_ ? trash_->Pending() : 0;
}

void MainWindow::UpdateCommandStates() {
    // A checkable item or button flips itself when chosen; it shows the state, not the clicks.
    ShowUnit();
    ShowScanRules();
    if (QAction* item = MenuAction(Command::CompareWithScanFile))
        item->setChecked(comparison_ && comparison_->Active());
    if (QAction* item = MenuAction(Command::SortByChange))
        item->setChecked(sortByChange_);
    if (QAction* item = MenuAction(Command::ShowSizeOnDisk))
        item->setChecked(SizeMeasure::OnDisk());
    if (!tree_ || !trash_)
        return;
    const TreeItem selected = tree_->Store().Selection();
    const bool canMove = trash_->CanMoveFolder(selected);
    const bool hasFolder = tree_->Store().Record(selected).has_value();
    for (QAction* item : {MenuAction(Command::MoveToTrash), ItemMenuAction(Command::MoveToTrash)}) {
        if (item)
            item->setEnabled(canMove);
    }
    for (int command : {Command::RefreshSelected, Command::LargestFiles}) {
        for (QAction* item : {MenuAction(command), ItemMenuAction(command)}) {
            if (item)
                item->setEnabled(hasFolder);
        }
    }
}

void MainWindow::CompareWithScanFile() {
    if (comparison_->Active()) {
        comparison_->Stop();
        return;
    }
    ItemStore& store = tree_->Store();
    if (store.Selection() == TreeItem::None || !services_.chooseScanFiles)
        return;
    tree_->Queue().Flush();
    const TreeItem root = tree_->RootOf(store.Selection());
    std::vector<std::string> files = services_.chooseScanFiles(this);
    if (!files.empty() && store.Node(root))
        comparison_->Start(root, files.front(), scanRules_);
}

void MainWindow::ShowSourceOfSelection() {
    const TreeItem selected = tree_->Store().Selection();
    if (selected == TreeItem::None)
        return;
    if (std::optional<ScanFileRoots::Source> file = tree_->ScanFileOf(selected)) {
        sourceText_ = QString::fromStdString("Read from " + ScanFileRoots::Title(file->file) +
                                             ", scanned " + file->time);
        SetStatusText(sourceText_);
        return;
    }
    // An item of a scanned root: the file named for the item before is not its source.
    if (!sourceText_.isEmpty() && StatusText() == sourceText_)
        SetStatusText(QString::fromUtf8(Resources::LoadString(104)));
    sourceText_.clear();
}

void MainWindow::ShowUnit() {
    const bool inMegabytes = SizeUnit::InMegabytes();
    if (QAction* meg = MenuAction(Command::ShowInMeg))
        meg->setChecked(inMegabytes);
    toolbar_.CheckButton(Command::ShowInMeg, inMegabytes);
}

void MainWindow::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::RemoveSelected() {
    tree_->StopRunningScans();
    RemoveItem(tree_->Store().Selection());
}

void MainWindow::RemoveItem(TreeItem item) {
    tree_->Queue().Flush();  // remove what the scan has shown so far, not less
    ItemStore& store = tree_->Store();
    store.RemoveChildren(item);
    store.DeleteItem(item);
    tree_->SupersedeRemovedScans();
    if (comparison_->Active() && !store.Node(comparison_->Root()))
        comparison_->Stop();
    RefreshPanel();
}

void MainWindow::MoveSelectedToTrash() {
    tree_->Queue().Flush();
    trash_->MoveFolder(tree_->Store().Selection());
}

void MainWindow::RefreshSelected() {
    tree_->RefreshFolder(tree_->Store().Selection());
}

void MainWindow::ShowLargestFiles() {
    tree_->Queue().Flush();
    TreeItem item = tree_->Store().Selection();
    std::optional<LargestFilesWindow::Source> source =
        LargestFilesWindow::SourceOf(*tree_, item, scanRules_);
    if (!source)
        return;
    item = source->item;
    const bool imported = source->scanFile.has_value();
    LargestFilesWindow::Actions actions;
    actions.explore = [this, imported](const std::string& folder) {
        ExploreFolder(folder, imported);
    };
    actions.canTrash = [this, item] { return trash_->CanMoveFilesBelow(item); };
    actions.trash = [this, item](const LargeFile& file, std::function<void()> moved) {
        trash_->MoveFile(item, file, std::move(moved));
    };
    delete largestFiles_;
    largestFiles_ = new LargestFilesWindow(std::move(*source), std::move(actions), this);
    largestFiles_->show();
}

void MainWindow::ToggleSizeOnDisk() {
    SizeMeasure::SetOnDisk(!SizeMeasure::OnDisk());
    if (services_.settings)
        services_.settings->WriteInt(kSizeOnDiskKey, SizeMeasure::OnDisk() ? 1 : 0);
    tree_->ShowMeasure();
    if (comparison_)
        comparison_->MeasureChanged();
    if (largestFiles_)
        largestFiles_->SearchAgain();
    RefreshPanel();
}

void MainWindow::BrowseForFolder() {
    if (!services_.chooseFolder)
        return;
    std::optional<std::string> folder = services_.chooseFolder(this);
    if (!folder)
        return;
    SetStartFolder(*folder);
    roots_->Add(startFolder_, true);
    tree_->StartScan();
}

void MainWindow::OpenScanFiles() {
    if (!services_.chooseScanFiles)
        return;
    std::vector<std::string> files = services_.chooseScanFiles(this);
    if (files.empty())
        return;
    // Files chosen together are one root: the graft of them.
    const std::string start = ScanFileRoots::JoinFiles(files);
    SetStartScanFile(start);
    tree_->OpenScanFile(start);
}

void MainWindow::ExploreSelected() {
    ItemStore& store = tree_->Store();
    std::optional<FolderRecord> record = store.Record(store.Selection());
    if (!record || !services_.openFolder)
        return;
    ExploreFolder(record->path, tree_->IsImported(store.Selection()));
}

void MainWindow::ExploreFolder(const std::string& folder, bool imported) {
    if (!services_.openFolder)
        return;
    if (!imported) {
        OpenFolder(folder);
        return;
    }
    // The scan file may come from another machine. The check runs on a thread of its own:
    // a path on a mount that does not answer must not freeze the window. Its answer is
    // handed over under a mutex and polled, and a newer Explore replaces an older check.
    auto check = std::make_shared<FolderCheck>();
    check->path = folder;
    folderCheck_ = check;
    std::thread([check] {
        struct stat info;
        const bool here = ::stat(check->path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        std::lock_guard lock(check->mutex);
        check->here = here;
        check->done = true;
    }).detach();
    if (!folderCheckTimer_) {
        folderCheckTimer_ = new QTimer(this);
        folderCheckTimer_->setInterval(10);
        connect(folderCheckTimer_, &QTimer::timeout, this, &MainWindow::FinishFolderCheck);
    }
    folderCheckTimer_->start();
}

void MainWindow::FinishFolderCheck() {
    if (!folderCheck_) {
        folderCheckTimer_->stop();
        return;
    }
    {
        std::lock_guard lock(folderCheck_->mutex);
        if (!folderCheck_->done)
            return;
    }
    folderCheckTimer_->stop();
    std::shared_ptr<FolderCheck> check = std::move(folderCheck_);
    if (check->here)
        OpenFolder(check->path);
    else
        ShowItemFailure(QString::fromStdString(check->path) +
                        QStringLiteral(" is not on this machine"));
}

void MainWindow::OpenFolder(const std::string& folder) {
    if (!services_.openFolder(folder))
        ShowItemFailure(QStringLiteral("No file manager to open ") +
                        QString::fromStdString(folder));
}

void MainWindow::ShowItemFailure(const QString& failure) {
    SetStatusText(failure);
    itemFailure_ = failure;
}

void MainWindow::ForgetItemFailure() {
    if (!itemFailure_.isEmpty() && StatusText() == itemFailure_)
        SetStatusText(QString::fromUtf8(Resources::LoadString(104)));
    itemFailure_.clear();
}

void MainWindow::ChooseStartingFolder(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < roots_->Size())
        SetStartFolder(roots_->Entries()[static_cast<std::size_t>(index)]);
    ScanStart();
}

void MainWindow::ToggleUnits() {
    SizeUnit::Toggle();
    ShowUnit();
    tree_->Relabel();
    if (largestFiles_)
        largestFiles_->ShowSizes();
    RefreshPanel();
}

void MainWindow::ExportReport() {
    if (!services_.dialogs)
        return;
    ShowOutputFailure(::ExportReport(tree_->Store(), [this](const SaveFileRequest& request) {
        return services_.dialogs->ChooseSaveFile(this, request);
    }));
}

void MainWindow::PrintReport() {
    if (!services_.dialogs)
        return;
    PrintOutcome outcome = ::PrintReport(tree_->Store(), [this](QPrinter& printer) {
        return services_.dialogs->ChoosePrinter(this, printer);
    });
    if (outcome.box) {
        services_.dialogs->ShowMessage(outcome.box->caption.toStdString(),
                                       outcome.box->text.toStdString());
    }
    ShowOutputFailure(outcome.statusText);
}

void MainWindow::ShowOutputFailure(const std::optional<QString>& failure) {
    if (failure) {
        SetStatusText(*failure);
        outputFailure_ = *failure;
        return;
    }
    // Otherwise the failure of an earlier export or print would stay after this one.
    if (!outputFailure_.isEmpty() && StatusText() == outputFailure_)
        SetStatusText(QString::fromUtf8(Resources::LoadString(104)));
    outputFailure_.clear();
}

void MainWindow::ShowDesktopMenu() {
    if (QToolButton* button = toolbar_.Button(Command::ChooseFolder))
        button->showMenu();
}

void MainWindow::ShowItemMenu(const QPoint& globalPos) {
    itemMenu_->popup(globalPos);
}

void MainWindow::RefreshPanel() {
    if (QWidget* panel = Panel())
        panel->update();
}

void RunWindowLoop(MainWindow& window) {
    // A termination signal ends the loop (and any dialog's) like the window's own Exit.
    TerminationSignals terminationSignals([] { QApplication::quit(); });
    const int code = QApplication::exec();
    if (window.isVisible())
        window.close();  // the loop was ended otherwise: save and stop as closing does
    // No destructor may wait for a scan thread nor free what it uses; and the tree's memory
    // goes back to the system at once, without a walk over every item.
    std::fflush(nullptr);
    std::_Exit(code);
}
