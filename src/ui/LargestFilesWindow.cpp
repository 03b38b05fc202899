// The largest-files window: the search on its thread, the list and its two commands.
#include "ui/LargestFilesWindow.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <mutex>
#include <thread>

#include "fs/ReadAheadReader.h"
#include "scan/SizeUnit.h"
#include "scanfile/ScanFileReader.h"
#include "tree/ItemLabel.h"
#include "tree/SizeMeasure.h"
#include "ui/ScanFileRoots.h"

namespace {

constexpr int kSortRole = Qt::UserRole;      // a path's, for sorting by name
constexpr int kFileRole = Qt::UserRole + 1;  // the row's index into the files found

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString SizeInUnit(const LargeFile& file) {
    SizeUnit::Snapshot unit = SizeUnit::Current();
    return Utf8(FormatSize(SizeMeasure::Shown(file.size, file.sizeOnDisk), unit.divisor) + " " +
                unit.letter);
}

// A size in the list: larger sorts after smaller, and among equal sizes the path that sorts
// first comes first when the list runs largest first.
class SizeItem : public QStandardItem {
  public:
    SizeItem(const QString& text, qulonglong bytes, QString path)
        : QStandardItem(text), bytes_(bytes), path_(std::move(path)) {}
    bool operator<(const QStandardItem& other) const override {
        const auto& that = static_cast<const SizeItem&>(other);
        return bytes_ != that.bytes_ ? bytes_ < that.bytes_ : path_ > that.path_;
    }

  private:
    qulonglong bytes_;
    QString path_;
};

std::string FolderOf(const std::string& folder, const std::string& relativePath) {
    std::size_t slash = relativePath.rfind('/');
    std::string path = folder;
    if (slash != std::string::npos) {
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path.append(relativePath, 0, slash);
    }
    return path;
}

}  // namespace

// The search, shared with its thread, which writes the result under the mutex.
struct LargestFilesWindow::Search {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    bool done = false;
    LargestFilesResult result;
    std::string failure;  // a scan file that could not be read
};

std::optional<LargestFilesWindow::Source> LargestFilesWindow::SourceOf(FolderTreeView& tree,
                                                                       TreeItem item,
                                                                       ScanRules rules) {
    ItemStore& store = tree.Store();
    if (const ItemNode* node = store.Node(item); node && node->IsFilesEntry())
        item = store.GetParent(item);
    if (!store.Record(item))
        return std::nullopt;
    Source source;
    source.item = item;
    source.folder = store.Node(item)->FolderPath();
    source.rules = std::move(rules);
    if (std::optional<ScanFileRoots::Source> file = tree.ScanFileOf(item))
        source.scanFile = file->file;
    if (source.scanFile) {
        // From the top of the file down by the names of the items.
        for (TreeItem at = item; store.GetParent(at) != TreeItem::None; at = store.GetParent(at))
            source.below.insert(source.below.begin(), store.Node(at)->RecordName());
    }
    return source;
}

LargestFilesWindow::LargestFilesWindow(Source source, Actions actions, QWidget* parent)
    : QDialog(parent), source_(std::move(source)), actions_(std::move(actions)) {
    setWindowTitle(QStringLiteral("Largest Files"));
    setAttribute(Qt::WA_DeleteOnClose);
    heading_ = new QLabel(this);
    heading_->setTextFormat(Qt::PlainText);
    heading_->setWordWrap(true);
    model_ = new QStandardItemModel(0, 2, this);
    model_->setHorizontalHeaderLabels({QStringLiteral("Size"), QStringLiteral("Path")});
    model_->setSortRole(kSortRole);
    list_ = new QTreeView(this);
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSortingEnabled(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list_->header()->setStretchLastSection(true);
    list_->sortByColumn(0, Qt::DescendingOrder);

    explore_ = new QPushButton(QStringLiteral("Explore Selected"), this);
    trash_ = new QPushButton(QStringLiteral("Move to Trash"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(explore_, QDialogButtonBox::ActionRole);
    buttons->addButton(trash_, QDialogButtonBox::ActionRole);
    explore_->setAutoDefault(false);
    trash_->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(explore_, &QPushButton::clicked, this, &LargestFilesWindow::ExploreSelected);
    connect(trash_, &QPushButton::clicked, this, &LargestFilesWindow::TrashSelected);
    // The tree's keys for the same commands.
    auto addKey = [this](QKeySequence keys, void (LargestFilesWindow::*command)()) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, command);
        addAction(action);
    };
    addKey(QKeySequence(Qt::Key_Delete), &LargestFilesWindow::TrashSelected);
    addKey(QKeySequence(Qt::CTRL | Qt::Key_I), &LargestFilesWindow::ExploreSelected);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LargestFilesWindow::UpdateButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(720, 480);

    poll_ = new QTimer(this);
    poll_->setInterval(10);
    connect(poll_, &QTimer::timeout, this, &LargestFilesWindow::Poll);
    Start();
    UpdateButtons();
}

LargestFilesWindow::~LargestFilesWindow() {
    search_->stop.store(true, std::memory_order_relaxed);
}

void LargestFilesWindow::Start() {
    heading_->setText(QStringLiteral("Looking for the largest files below ") +
                      Utf8(source_.folder) + QStringLiteral(" ..."));
    search_ = std::make_shared<Search>();
    // At the window's own priority, not a scan's: the user waits for this list.
    std::thread([search = search_, source = source_] {
        LargestFilesRequest request;
        request.count = kCount;
        request.onDisk = SizeMeasure::OnDisk();
        request.rules = source.rules;
        request.stop = &search->stop;
        request.below = source.below;
        LargestFilesResult result;
        std::string failure;
        if (source.scanFile) {
            ScanFileReader reader(source.rules);
            auto stopping = [&search] { return search->stop.load(std::memory_order_relaxed); };
            if (std::optional<std::string> problem =
                    ScanFileRoots::Load(reader, *source.scanFile, stopping)) {
                failure = *problem;
            } else {
                request.start = reader.TopPath();
                result = FindLargestFiles(reader, request);
            }
        } else {
            ReadAheadReader reader(0, ReadAheadLimits{}, &search->stop, source.rules);
            request.start = source.folder;
            result = FindLargestFiles(reader, request);
        }
        std::lock_guard lock(search->mutex);
        search->result = std::move(result);
        search->failure = std::move(failure);
        search->done = true;
    }).detach();
    poll_->start();
}

bool LargestFilesWindow::Searching() const {
    return poll_->isActive();  // until the files found are listed
}

void LargestFilesWindow::Poll() {
    {
        std::lock_guard lock(search_->mutex);
        if (!search_->done)
            return;
    }
    poll_->stop();
    const LargestFilesResult& result = search_->result;
    if (!search_->failure.empty()) {
        heading_->setText(Utf8(search_->failure));
    } else if (!result.found) {
        heading_->setText(Utf8(source_.folder) + QStringLiteral(" could not be read"));
    } else {
        heading_->setText(QStringLiteral("The %1 largest of %2 files below ")
                              .arg(result.files.size())
                              .arg(result.filesSeen) +
                          Utf8(source_.folder));
    }
    files_ = result.files;
    gone_.assign(files_.size(), false);
    Fill();
}

void LargestFilesWindow::Fill(int currentRow) {
    model_->removeRows(0, model_->rowCount());
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (gone_[i])
            continue;
        const LargeFile& file = files_[i];
        auto* size = new SizeItem(SizeInUnit(file), SizeMeasure::Shown(file.size, file.sizeOnDisk),
                                  Utf8(file.path));
        size->setData(static_cast<int>(i), kFileRole);
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* path = new QStandardItem(Utf8(file.path));
        path->setData(Utf8(file.path), kSortRole);
        path->setData(static_cast<int>(i), kFileRole);
        model_->appendRow({size, path});
    }
    list_->sortByColumn(list_->header()->sortIndicatorSection(),
                        list_->header()->sortIndicatorOrder());
    if (model_->rowCount() > 0)
        list_->setCurrentIndex(model_->index(std::min(currentRow, model_->rowCount() - 1), 0));
    UpdateButtons();
}

void LargestFilesWindow::SearchAgain() {
    search_->stop.store(true, std::memory_order_relaxed);
    files_.clear();
    gone_.clear();
    Fill();
    Start();
}

void LargestFilesWindow::ShowSizes() {
    if (!Searching())
        Fill();
}

std::vector<LargeFile> LargestFilesWindow::Listed() const {
    std::vector<LargeFile> listed;
    for (int row = 0; row < model_->rowCount(); ++row)
        listed.push_back(
            files_[static_cast<std::size_t>(model_->item(row)->data(kFileRole).toInt())]);
    return listed;
}

int LargestFilesWindow::SelectedFile() const {
    QModelIndex current = list_->currentIndex();
    if (!current.isValid())
        return -1;
    return model_->item(current.row())->data(kFileRole).toInt();
}

void LargestFilesWindow::UpdateButtons() {
    const bool selected = SelectedFile() >= 0;
    explore_->setEnabled(selected);
    trash_->setEnabled(selected && actions_.canTrash && actions_.canTrash());
}

void LargestFilesWindow::ExploreSelected() {
    int index = SelectedFile();
    if (index >= 0 && actions_.explore)
        actions_.explore(FolderOf(source_.folder, files_[static_cast<std::size_t>(index)].path));
}

void LargestFilesWindow::TrashSelected() {
    int index = SelectedFile();
    if (index < 0 || !actions_.trash || !actions_.canTrash || !actions_.canTrash())
        return;
    QPointer<LargestFilesWindow> self(this);
    const int row = list_->currentIndex().row();
    actions_.trash(files_[static_cast<std::size_t>(index)], [self, index, row] {
        if (!self)
            return;
        self->gone_[static_cast<std::size_t>(index)] = true;
        self->Fill(row);  // the next file takes the place of the one that went
    });
}
