// The main window: creation, closing, and the handlers of the command table.
#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "app/AboutDialog.h"
#include "app/MenuBuilder.h"
#include "app/ResourceTables.h"
#include "scan/SizeUnit.h"
#include "ui/ContentArea.h"

MainWindow::MainWindow(WindowServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      roots_(services_.roots ? services_.roots : &RootList::Instance()),
      splitterPos_(services_.settings ? ReadSplitterPos(*services_.settings) : 200) {
    BuildCommands();
}

MainWindow::~MainWindow() {
    if (tree_)
        tree_->StopScans();
}

void MainWindow::BuildCommands() {
    commands_.Add(Command::About, [this] { ShowAbout(); });
    commands_.Add(Command::Exit, [this] {
        StopRequested.store(true, std::memory_order_relaxed);
        close();
    });
    commands_.Add(Command::Refresh, [this] { tree_->StartScan(); });
    commands_.Add(Command::Remove, [this] { RemoveSelected(); });
    commands_.Add(Command::Open, [this] { BrowseForFolder(); });
    commands_.Add(Command::Stop, [] { StopRequested.store(true, std::memory_order_relaxed); });
    commands_.Add(Command::ExploreSelected, [this] { ExploreSelected(); });
    commands_.SetStartingFolderHandler([this](int index) { ChooseStartingFolder(index); });
}

void MainWindow::Create() {
    std::string suffix = services_.settings ? services_.settings->ReadString("DEFAULT") : "";
    setWindowTitle(QString::fromUtf8(Resources::LoadString(103)) + QString::fromStdString(suffix));
    menuActions_ = BuildMenuBar(*menuBar(), [this](int command) { ExecuteCommand(command); });
    InstallAccelerators(*this, [this](int command) { ExecuteCommand(command); });
    CreateBars();
    CreateViews();
    RestorePlacement();
}

void MainWindow::CreateBars() {
    statusText_ = new QLabel(QStringLiteral("Started"));
    statusBar()->addWidget(statusText_, 1);
}

void MainWindow::CreateViews() {
    tree_ = std::make_unique<FolderTreeView>(startFolder_);
    content_ = new ContentArea;
    content_->SetSplitterPos(splitterPos_);
    content_->SetTree(&tree_->View());
    content_->SetPanel(new QWidget);  // placeholder until the detail panel is set
    setCentralWidget(content_);

    connect(tree_.get(), &FolderTreeView::StatusText, this, &MainWindow::SetStatusText);
    connect(tree_.get(), &FolderTreeView::SelectionChanged, this, &MainWindow::RefreshPanel);
    connect(tree_.get(), &FolderTreeView::PanelRefreshRequested, this, &MainWindow::RefreshPanel);
    connect(tree_.get(), &FolderTreeView::ContextMenuRequested, this, &MainWindow::ShowItemMenu);
    if (!startFolder_.empty())
        tree_->StartScan();
}

void MainWindow::RestorePlacement() {
    restoredOuter_ = services_.settings ? ReadPlacement(*services_.settings) : std::nullopt;
    if (!restoredOuter_) {
        if (QScreen* screen = this->screen())
            resize(screen->availableSize() * 2 / 3);
        return;
    }
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
    if (tree_)
        tree_->StopScans();
    QMainWindow::closeEvent(event);
}

void MainWindow::SetPanel(QWidget* panel) {
    content_->SetPanel(panel);
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
    bool handled = commands_.Execute(command);
    UpdateCommandStates();
    return handled;
}

QAction* MainWindow::MenuAction(int command) const {
    auto found = menuActions_.find(command);
    return found == menuActions_.end() ? nullptr : found->second;
}

void MainWindow::UpdateCommandStates() {
    // A checkable item flips itself when chosen; the mark shows the unit, not the clicks.
    if (QAction* meg = MenuAction(Command::ShowInMeg))
        meg->setChecked(SizeUnit::InMegabytes());
}

void MainWindow::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::RemoveSelected() {
    StopRequested.store(true, std::memory_order_relaxed);
    tree_->Queue().Flush();  // remove what the scan has shown so far, not less
    ItemStore& store = tree_->Store();
    store.RemoveChildren(store.Selection());
    store.DeleteItem(store.Selection());
    tree_->SupersedeRemovedScans();
    RefreshPanel();
}

void MainWindow::BrowseForFolder() {
    if (!services_.chooseFolder)
        return;
    std::optional<std::string> folder = services_.chooseFolder(this);
    if (!folder)
        return;
    startFolder_ = *folder;
    roots_->Add(startFolder_, true);
    tree_->StartScan();
}

void MainWindow::ExploreSelected() {
    ItemStore& store = tree_->Store();
    const FolderRecord* record = store.Record(store.Selection());
    if (record && services_.openFolder)
        services_.openFolder(record->path);
}

void MainWindow::ChooseStartingFolder(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < roots_->Size())
        startFolder_ = roots_->Entries()[static_cast<std::size_t>(index)];
    tree_->StartScan();
}

void MainWindow::ShowItemMenu(const QPoint& globalPos) {
    itemMenu_ = std::make_unique<QMenu>(this);
    FillMenu(*itemMenu_, Resources::ItemMenu(), [this](int command) { ExecuteCommand(command); });
    itemMenu_->popup(globalPos);
}

void MainWindow::RefreshPanel() {
    if (QWidget* panel = Panel())
        panel->update();
}
