// Move to Trash: the checks, the question, and the tree after the move.
#include "ui/TrashCommand.h"

#include "scan/FigureChanges.h"
#include "scan/SizeUnit.h"

std::string SizeText(std::uint64_t bytes) {
    SizeUnit::Snapshot unit = SizeUnit::Current();
    return FormatSize(bytes, unit.divisor) + " " + unit.letter;
}

TrashCommand::TrashCommand(FolderTreeView& tree, TrashMoves::Mover mover, Hooks hooks)
    : tree_(tree), moves_(std::move(mover)), hooks_(std::move(hooks)) {}

bool TrashCommand::CanMoveFilesBelow(TreeItem base) {
    const ItemNode* node = tree_.Store().Node(base);
    return node && base != TreeItem::None && node->HasRecord() && !tree_.ScanFileOf(base);
}

bool TrashCommand::CanMoveFolder(TreeItem item) {
    const ItemNode* node = tree_.Store().Node(item);
    return CanMoveFilesBelow(item) && !node->IsFilesEntry() && node->IsComplete() &&
           tree_.Store().GetParent(item) != TreeItem::None;
}

void TrashCommand::MoveFolder(TreeItem item) {
    if (!CanMoveFolder(item))
        return;
    tree_.StopScansOf(tree_.RootOf(item));
    std::optional<FolderRecord> record = tree_.Store().Record(item);
    if (!record || !CanMoveFolder(item))
        return;
    const std::string path = record->path;
    if (!hooks_.confirm("Move " + path + " to the trash? It holds " + SizeText(record->diskBytes) +
                        ", " + FormatCount(record->fileCount) + " files and " +
                        FormatCount(record->folderCount) + " folders."))
        return;
    moves_.Start(path, record->diskBytes, [this, item, path](const TrashOutcome& outcome) {
        FolderMoved(item, path, outcome);
    });
}

bool TrashCommand::Failed(const std::string& path, const TrashOutcome& outcome) {
    if (outcome.moved)
        return false;
    hooks_.showStatus(
        QString::fromStdString("Could not move " + path + " to the trash: " + outcome.reason));
    return true;
}

void TrashCommand::FolderMoved(TreeItem item, const std::string& path,
                               const TrashOutcome& outcome) {
    if (Failed(path, outcome))
        return;
    ItemStore& store = tree_.Store();
    std::optional<FolderRecord> record = store.Record(item);
    const std::uint64_t freed = record ? record->diskBytes : 0;
    // A tree scanned again meanwhile no longer holds the item: nothing is left to take out.
    if (record && record->path == path) {
        const TreeItem root = tree_.RootOf(item);
        const TreeItem parent = store.GetParent(item);
        const FigureChange change = FigureChanges::Without(*record);
        hooks_.removeItem(item);
        FigureChanges::AddUpward(store, parent, change);
        if (HardLinkLedger* links = tree_.LinksOf(root))
            links->ForgetWhere([&store](TreeItem folder) { return !store.Node(folder); });
        hooks_.refreshPanel();
    }
    hooks_.showStatus(
        QString::fromStdString("Moved " + path + " to the trash: " + SizeText(freed) + " freed"));
}

TreeItem TrashCommand::FolderBelow(TreeItem base, const std::string& relativeFolder) {
    ItemStore& store = tree_.Store();
    TreeItem at = base;
    std::size_t start = 0;
    while (at != TreeItem::None && start < relativeFolder.size()) {
        std::size_t slash = relativeFolder.find('/', start);
        if (slash == std::string::npos)
            slash = relativeFolder.size();
        const std::string name = relativeFolder.substr(start, slash - start);
        TreeItem found = TreeItem::None;
        for (const ItemNode& child : store.Node(at)->Children()) {
            if (child.HasRecord() && !child.IsFilesEntry() && child.RecordName() == name) {
                found = child.Id();
                break;
            }
        }
        at = found;
        start = slash + 1;
    }
    return at;
}

void TrashCommand::MoveFile(TreeItem base, const LargeFile& file, std::function<void()> moved) {
    if (!CanMoveFilesBelow(base))
        return;
    const TreeItem root = tree_.RootOf(base);
    tree_.StopScansOf(root);
    if (!CanMoveFilesBelow(base))
        return;
    std::string path = tree_.Store().Node(base)->FolderPath();
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path += file.path;
    if (!hooks_.confirm("Move " + path + " to the trash? It holds " + SizeText(file.sizeOnDisk) +
                        "."))
        return;
    const std::size_t slash = file.path.rfind('/');
    const TreeItem folder =
        slash == std::string::npos ? base : FolderBelow(base, file.path.substr(0, slash));
    moves_.Start(path, 0, [this, folder, root, file, path, moved](const TrashOutcome& outcome) {
        FileMoved(folder, root, file, path, outcome);
        if (outcome.moved && moved)
            moved();
    });
}

void TrashCommand::FileMoved(TreeItem folder, TreeItem root, const LargeFile& file,
                             const std::string& path, const TrashOutcome& outcome) {
    if (Failed(path, outcome))
        return;
    // A file with other names counts where the scan first met it: only there does it leave.
    HardLinkLedger* links = tree_.LinksOf(root);
    bool countedHere = true;
    if (file.link.inode != 0 && links) {
        countedHere = links->CountedIn(file.link) == folder;
        if (countedHere)
            links->Forget(file.link);
    }
    if (countedHere && folder != TreeItem::None && tree_.Store().Node(folder)) {
        FigureChanges::RemoveFile(tree_.Store(), folder, file.size, file.sizeOnDisk);
        hooks_.refreshPanel();
    }
    hooks_.showStatus(QString::fromStdString(
        "Moved " + path + " to the trash: " + SizeText(file.sizeOnDisk) + " freed"));
}
