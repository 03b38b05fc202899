// The folder tree's item store: items kept as parts, the order of labels in sorted
// insertion, and walks of the tree that never recurse.
#include "tree/ItemStore.h"

#include <algorithm>
#include <cstring>

#include "tree/RemovalSelection.h"
#include "tree/SizeMeasure.h"

// The texts of an item that do not follow from its name: a root's progress label and
// record, labels and records set by hand. Most items have none.
struct ItemExtras {
    std::string labelStem;
    std::string recordName;
    std::string recordPath;
    std::uint64_t labelBytes = 0;
    std::uint64_t labelDiskBytes = 0;
    std::int32_t labelFiles = 0;
    std::int32_t labelFolders = 0;
};

namespace {

unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

constexpr std::string_view kFiles = "FILES";

bool IsFilesForm(LabelForm form) {
    return form == LabelForm::FilesOfFolder || form == LabelForm::FilesOfRoot;
}

// Where the label's text first differs from stem, ASCII case ignored, within the shorter
// of the two: negative or positive as CompareLabels would answer, 0 when undecided there.
int CompareFoldedPrefix(std::string_view text, std::string_view stem) {
    std::size_t n = std::min(text.size(), stem.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = FoldCase(static_cast<unsigned char>(text[i]));
        unsigned char y = FoldCase(static_cast<unsigned char>(stem[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

}  // namespace

int CompareLabels(std::string_view a, std::string_view b) {
    if (int folded = CompareFoldedPrefix(a, b))
        return folded;
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int bytes = a.compare(b);
    return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

// ---- ItemNode ------------------------------------------------------------------------------

ItemNode::ItemNode() = default;
ItemNode::~ItemNode() = default;

ItemExtras& ItemNode::Extras() {
    if (!extras_)
        extras_ = std::make_unique<ItemExtras>();
    return *extras_;
}

std::string_view ItemNode::Resolve(Source source, std::string_view extra) const {
    switch (source) {
        case Source::Name:
            return name_.View();
        case Source::Files:
            return kFiles;
        case Source::Extra:
            return extra;
        case Source::None:
            break;
    }
    return {};
}

std::string ItemNode::Text() const {
    std::string text;
    std::string_view stem = Resolve(LabelStem(), extras_ ? extras_->labelStem : std::string_view());
    if (flags_ & kLabelFiguresApart) {
        AppendLabel(text, Form(), flags_ & kMegabytes, stem,
                    SizeMeasure::Shown(extras_->labelBytes, extras_->labelDiskBytes),
                    extras_->labelFiles, extras_->labelFolders);
    } else {
        AppendLabel(text, Form(), flags_ & kMegabytes, stem, ShownBytes(), fileCount_,
                    folderCount_);
    }
    return text;
}

std::uint64_t ItemNode::Key() const {
    std::string_view stem = Resolve(LabelStem(), extras_ ? extras_->labelStem : std::string_view());
    switch (Form()) {
        case LabelForm::Text:
            return LabelKey(stem);
        case LabelForm::Folder:
            if (stem.size() >= 8)
                return LabelKey(stem);
            if (stem.size() >= 3)  // the figures begin after "   ( "
                return LabelKey(std::string(stem) + "   ( ");
            break;
        case LabelForm::FilesOfFolder:
        case LabelForm::FilesOfRoot:
            return LabelKey("FILES   ");
    }
    return LabelKey(Text());
}

std::uint64_t ItemNode::ShownBytes() const {
    return SizeMeasure::Shown(totalBytes_, diskBytes_);
}

std::string ItemNode::RecordName() const {
    return std::string(
        Resolve(RecordNameSource(), extras_ ? extras_->recordName : std::string_view()));
}

std::string ItemNode::FolderPath() const {
    std::vector<const ItemNode*> chain;
    for (const ItemNode* node = this; node->parent_; node = node->parent_)
        chain.push_back(node);
    if (chain.empty())
        return {};
    std::size_t length = 0;
    for (const ItemNode* node : chain)
        length += node->name_.View().size() + 1;
    std::string path;
    path.reserve(length);
    path.append(chain.back()->name_.View());
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path.append(chain[i]->name_.View());
    }
    return path;
}

std::optional<FolderRecord> ItemNode::RecordWithoutPath() const {
    if (!HasRecord())
        return std::nullopt;
    FolderRecord record;
    record.isFilesEntry = IsFilesEntry();
    record.name = RecordName();
    record.totalBytes = totalBytes_;
    record.filesBytes = filesBytes_;
    record.folderCount = folderCount_;
    record.fileCount = fileCount_;
    record.complete = IsComplete();
    record.diskBytes = diskBytes_;
    return record;
}

std::optional<FolderRecord> ItemNode::Record() const {
    std::optional<FolderRecord> record = RecordWithoutPath();
    if (!record)
        return record;
    switch (RecordPathSource()) {
        case PathSource::ItemFolder:
            record->path = FolderPath();
            break;
        case PathSource::ParentFolder:
            record->path = parent_ ? parent_->FolderPath() : std::string();
            break;
        case PathSource::Name:
            record->path = std::string(name_.View());
            break;
        case PathSource::Extra:
            record->path = extras_->recordPath;
            break;
        case PathSource::None:
            break;
    }
    return record;
}

void ItemNode::SetLabel(ItemLabel label) {
    SetForm(label.form);
    SetFlag(kMegabytes, label.megabytes);
    if (IsFilesForm(label.form)) {
        SetLabelStem(Source::None);
    } else if (label.stem == name_.View()) {
        SetLabelStem(Source::Name);
    } else if (label.stem == kFiles) {
        SetLabelStem(Source::Files);
    } else {
        Extras().labelStem = std::move(label.stem);
        SetLabelStem(Source::Extra);
    }
    if (LabelStem() != Source::Extra && extras_)
        extras_->labelStem.clear();

    SetFlag(kLabelFiguresApart, false);
    if (label.form == LabelForm::Text)
        return;
    bool same =
        totalBytes_ == label.bytes && diskBytes_ == label.diskBytes &&
        (IsFilesForm(label.form) || (fileCount_ == label.files && folderCount_ == label.folders));
    if (!HasRecord()) {  // the figures are the label's until a record comes
        totalBytes_ = label.bytes;
        diskBytes_ = label.diskBytes;
        fileCount_ = label.files;
        folderCount_ = label.folders;
    } else if (!same) {
        ItemExtras& extras = Extras();
        extras.labelBytes = label.bytes;
        extras.labelDiskBytes = label.diskBytes;
        extras.labelFiles = label.files;
        extras.labelFolders = label.folders;
        SetFlag(kLabelFiguresApart, true);
    }
}

bool ItemNode::LabelFiguresMatch(const FolderRecord& record) const {
    if (Form() == LabelForm::Text || (flags_ & kLabelFiguresApart))
        return true;  // the label does not use the record's figures
    if (record.totalBytes != totalBytes_ || record.diskBytes != diskBytes_)
        return false;
    return IsFilesForm(Form()) ||
           (record.fileCount == fileCount_ && record.folderCount == folderCount_);
}

void ItemNode::MoveLabelFiguresApart() {
    ItemExtras& extras = Extras();
    extras.labelBytes = totalBytes_;
    extras.labelDiskBytes = diskBytes_;
    extras.labelFiles = fileCount_;
    extras.labelFolders = folderCount_;
    SetFlag(kLabelFiguresApart, true);
}

void ItemNode::SetRecord(const FolderRecord* record) {
    if (extras_) {
        extras_->recordName.clear();
        extras_->recordPath.clear();
    }
    if (!record) {
        SetFlag(kHasRecord, false);
        SetRecordName(Source::None);
        SetRecordPath(PathSource::None);
        return;
    }
    if (!LabelFiguresMatch(*record))
        MoveLabelFiguresApart();
    totalBytes_ = record->totalBytes;
    diskBytes_ = record->diskBytes;
    filesBytes_ = record->filesBytes;
    folderCount_ = record->folderCount;
    fileCount_ = record->fileCount;
    SetFlag(kHasRecord, true);
    SetFlag(kFilesEntry, record->isFilesEntry);
    SetFlag(kComplete, record->complete);

    if (record->name.empty()) {
        SetRecordName(Source::None);
    } else if (record->name == name_.View()) {
        SetRecordName(Source::Name);
    } else if (record->name == kFiles) {
        SetRecordName(Source::Files);
    } else {
        Extras().recordName = record->name;
        SetRecordName(Source::Extra);
    }

    switch (record->pathOrigin) {
        case PathOrigin::ItemFolder:
            SetRecordPath(PathSource::ItemFolder);
            break;
        case PathOrigin::ParentFolder:
            SetRecordPath(PathSource::ParentFolder);
            break;
        case PathOrigin::Given:
            if (record->path.empty()) {
                SetRecordPath(PathSource::None);
            } else if (record->path == name_.View()) {
                SetRecordPath(PathSource::Name);
            } else {
                Extras().recordPath = record->path;
                SetRecordPath(PathSource::Extra);
            }
            break;
    }
}

// ---- ItemStore -----------------------------------------------------------------------------

void ItemIndex::Add(std::uint64_t id, ItemNode* node) {
    std::size_t page = static_cast<std::size_t>(id >> kPageBits);
    if (page >= pages_.size())
        pages_.resize(page + 1);
    if (!pages_[page])
        pages_[page] = std::make_unique<Page>();
    ItemNode*& slot = pages_[page]->entries[id & (kPageSize - 1)];
    if (!slot) {
        ++pages_[page]->live;
        ++size_;
    }
    slot = node;
}

void ItemIndex::Remove(std::uint64_t id) {
    std::size_t page = static_cast<std::size_t>(id >> kPageBits);
    if (page >= pages_.size() || !pages_[page])
        return;
    ItemNode*& slot = pages_[page]->entries[id & (kPageSize - 1)];
    if (!slot)
        return;
    slot = nullptr;
    --size_;
    if (--pages_[page]->live == 0)
        pages_[page].reset();
}

namespace {

// Deletes nodes and everything below them, without recursion.
void DestroySubtrees(std::vector<ItemNode*> pending) {
    while (!pending.empty()) {
        ItemNode* node = pending.back();
        pending.pop_back();
        for (const ItemNode& child : node->Children())
            pending.push_back(const_cast<ItemNode*>(&child));
        delete node;
    }
}

// Every node below top, parents before their children.
std::vector<ItemNode*> Descendants(const ItemNode& top) {
    std::vector<ItemNode*> found;
    for (const ItemNode& child : top.Children())
        found.push_back(const_cast<ItemNode*>(&child));
    for (std::size_t i = 0; i < found.size(); ++i) {
        for (const ItemNode& child : found[i]->Children())
            found.push_back(const_cast<ItemNode*>(&child));
    }
    return found;
}

}  // namespace

ItemStore::ItemStore() = default;

void ItemStore::SetListener(ItemStoreListener* listener) {
    if (listener != listener_)
        held_.Forget();
    listener_ = listener;
}

void ItemStore::AnnounceHeld() {
    if (held_.Empty() || announcing_)
        return;
    announcing_ = true;  // a listener that reacts by changing the store announces nothing twice
    if (listener_)
        held_.AnnounceAll(*listener_);
    else
        held_.Forget();
    announcing_ = false;
}

void ItemStore::NoteChildChange(const ItemNode& child) const {
    if (!watched_ || child.parent_ != watched_ || watchedChanges_.all)
        return;
    // A reader that does not come back for a long time looks at everything again instead.
    if (watchedChanges_.items.size() > 4096 + 2 * watched_->children_.Size()) {
        watchedChanges_.all = true;
        watchedChanges_.items.clear();
        return;
    }
    watchedChanges_.items.push_back(child.id_);
}

ItemStore::ChildChanges ItemStore::TakeChildChanges(TreeItem parent) const {
    const ItemNode* node = Node(parent);
    ChildChanges changes;
    if (node && node == watched_)
        std::swap(changes, watchedChanges_);
    watched_ = node;
    watchedChanges_ = ChildChanges{false, {}};
    return changes;
}

ItemStore::~ItemStore() {
    if (!top_.children_.Empty())
        DestroySubtrees(top_.children_.Take(0, top_.children_.Size() - 1));
}

TreeItem ItemStore::ReserveItem() {
    return static_cast<TreeItem>(nextId_.fetch_add(1, std::memory_order_relaxed));
}

ItemNode* ItemStore::Find(TreeItem item) {
    if (item == TreeItem::None)
        return &top_;
    return index_.Find(static_cast<std::uint64_t>(item));
}

ItemNode* ItemStore::FindItem(TreeItem item) {
    return item == TreeItem::None ? nullptr : Find(item);
}

const ItemNode* ItemStore::Node(TreeItem item) const {
    return const_cast<ItemStore*>(this)->Find(item);
}

std::optional<FolderRecord> ItemStore::Record(TreeItem item) const {
    const ItemNode* node = item == TreeItem::None ? nullptr : Node(item);
    return node ? node->Record() : std::nullopt;
}

void ItemStore::InsertItemAs(TreeItem id, ItemLabel text, int image, TreeItem parentItem,
                             InsertAt where) {
    ItemNode* parent = Find(parentItem);
    if (!parent || id == TreeItem::None || Find(id))
        return;
    const bool hold = parent->Announced() && batch_ && listener_;
    if (parent->Announced() && !hold)
        AnnounceHeld();  // told one by one, against children the listener all knows
    auto node = std::make_unique<ItemNode>();
    node->id_ = id;
    node->parent_ = parent;
    node->image_ = static_cast<std::uint8_t>(image >= 0 && image <= 255 ? image : 0);
    if (!IsFilesForm(text.form))
        node->name_.Assign(text.stem);
    node->SetLabel(std::move(text));

    ChildList& siblings = parent->children_;
    std::uint64_t key = node->Key();
    std::size_t row = siblings.Size();
    if (where == InsertAt::Sorted) {
        const std::string label = node->Text();
        row = siblings.UpperBound(key, [&](const ItemNode& sibling) {
            // Most comparisons are decided within the sibling's stem; spell its label out
            // only when they are not.
            std::string_view stem = sibling.LabelStem() == ItemNode::Source::Name
                                        ? sibling.name_.View()
                                        : std::string_view();
            if (int early = stem.empty() ? 0 : CompareFoldedPrefix(label, stem))
                return early < 0;
            return CompareLabels(label, sibling.Text()) < 0;
        });
    }
    ItemNode* inserted = node.release();
    index_.Add(static_cast<std::uint64_t>(id), inserted);
    NoteChildChange(*inserted);
    ItemStoreListener* listener = hold ? nullptr : ListenerFor(*parent);
    if (listener)
        listener->BeginInsert(*parent, static_cast<int>(row), static_cast<int>(row));
    siblings.Insert(row, inserted, key);
    if (listener) {
        listener->EndInsert();
    } else if (hold) {
        held_.Hold(*parent, *inserted);
    } else if (!parent->Announced()) {
        held_.HoldInside(*inserted);
    }
    held_.RowsMoved(*parent);
}

TreeItem ItemStore::InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) {
    if (!Find(parent))
        return TreeItem::None;
    TreeItem id = ReserveItem();
    InsertItemAs(id, std::move(text), image, parent, where);
    return id;
}

void ItemStore::SetItemText(TreeItem item, ItemLabel text) {
    ItemNode* node = FindItem(item);
    if (!node)
        return;
    node->SetLabel(std::move(text));
    if (node->block_)  // a child of a long list: its key follows its label
        node->parent_->children_.Rekey(*node, node->Key());
    ItemChanged(*node);
}

void ItemStore::SetItemImage(TreeItem item, int image) {
    ItemNode* node = FindItem(item);
    if (!node)
        return;
    node->image_ = static_cast<std::uint8_t>(image >= 0 && image <= 255 ? image : 0);
    ItemChanged(*node);
}

void ItemStore::SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) {
    ItemNode* node = FindItem(item);
    if (!node)
        return;  // the record is freed here, as the item no longer exists
    node->SetRecord(record.get());
    ItemChanged(*node);
}

void ItemStore::ItemChanged(ItemNode& node) {
    NoteChildChange(node);
    if (ItemStoreListener* listener = ListenerFor(node))
        listener->ItemChanged(node);
}

std::optional<FolderRecord> ItemStore::GetItemData(TreeItem item) {
    return Record(item);
}

std::optional<FolderRecord> ItemStore::GetItemDataWithoutPath(TreeItem item) {
    const ItemNode* node = FindItem(item);
    return node ? node->RecordWithoutPath() : std::nullopt;
}

void ItemStore::Expand(TreeItem item, bool expand) {
    ItemNode* node = FindItem(item);
    if (!node || node->Expanded() == expand)
        return;
    if (!node->Announced())
        AnnounceHeld();  // a view expands only what it has been told about
    node->SetFlag(ItemNode::kExpanded, expand);
    if (listener_)
        listener_->ExpandChanged(*node);
}

TreeItem ItemStore::GetChild(TreeItem item) {
    ItemNode* node = Find(item);
    return node && !node->children_.Empty() ? node->children_.Front()->id_ : TreeItem::None;
}

TreeItem ItemStore::GetNextItem(TreeItem item) {
    ItemNode* node = FindItem(item);
    if (!node)
        return TreeItem::None;
    const ChildList& siblings = node->parent_->children_;
    const std::size_t next = node->Row() + 1;
    return next < siblings.Size() ? siblings.At(next)->id_ : TreeItem::None;
}

TreeItem ItemStore::GetParent(TreeItem item) {
    ItemNode* node = FindItem(item);
    return node ? node->parent_->id_ : TreeItem::None;
}

void ItemStore::Select(TreeItem item) {
    ItemNode* node = FindItem(item);
    if (item != TreeItem::None && !node)
        return;
    if (Selection() == item)
        return;
    if (node && !node->Announced())
        AnnounceHeld();  // a view selects only what it has been told about
    selected_.store(static_cast<std::uint64_t>(item), std::memory_order_release);
    if (listener_)
        listener_->SelectionChanged(item);
}

void ItemStore::SortChildren(TreeItem parentItem, ItemCompare compare, std::intptr_t context) {
    ItemNode* parent = Find(parentItem);
    if (!parent || parent->children_.Size() < 2)
        return;
    ItemStoreListener* listener = ListenerFor(*parent);  // none below a held item
    if (listener && held_.Holds(*parent))
        held_.Announce(*parent, *listener);  // what it reorders is what it was told
    // The comparison sees each record's figures; the records' texts are left empty. The
    // figures are gathered first, so that sorting does not chase the children in memory.
    struct Figures {
        ItemNode* node;
        std::uint64_t totalBytes;
        std::uint64_t filesBytes;
        std::uint64_t diskBytes;
        std::int32_t folderCount;
        std::int32_t fileCount;
        std::uint16_t flags;
    };
    std::vector<Figures> figures;
    figures.reserve(parent->children_.Size());
    for (ItemNode* child : parent->children_.Flatten()) {
        figures.push_back({child, child->totalBytes_, child->filesBytes_, child->diskBytes_,
                           child->folderCount_, child->fileCount_, child->flags_});
    }
    auto recordOf = [](const Figures& f, FolderRecord& record) -> const FolderRecord* {
        if (!(f.flags & ItemNode::kHasRecord))
            return nullptr;
        record.isFilesEntry = f.flags & ItemNode::kFilesEntry;
        record.totalBytes = f.totalBytes;
        record.filesBytes = f.filesBytes;
        record.diskBytes = f.diskBytes;
        record.folderCount = f.folderCount;
        record.fileCount = f.fileCount;
        record.complete = f.flags & ItemNode::kComplete;
        return &record;
    };
    if (compare == &FolderTree::CompareBySize) {  // the scan's sort, without the calls
        const bool onDisk = SizeMeasure::OnDisk();
        auto size = [onDisk](const Figures& f) {
            if (!(f.flags & ItemNode::kHasRecord))
                return std::uint64_t{0};
            return onDisk ? f.diskBytes : f.totalBytes;
        };
        auto larger = [&](const Figures& a, const Figures& b) { return size(a) > size(b); };
        if (std::is_sorted(figures.begin(), figures.end(), larger))
            return;  // in order already (all of a wide folder's empty sub-folders, say)
        std::stable_sort(figures.begin(), figures.end(), larger);
    } else {
        std::stable_sort(figures.begin(), figures.end(), [&](const Figures& a, const Figures& b) {
            FolderRecord ra, rb;
            return compare(recordOf(a, ra), recordOf(b, rb), context) < 0;
        });
    }
    std::vector<ItemNode*> children;
    children.reserve(figures.size());
    for (const Figures& f : figures)
        children.push_back(f.node);
    Reorder(*parent, std::move(children));
}

void ItemStore::OrderChildren(
    TreeItem parentItem, const std::function<bool(const ItemNode& a, const ItemNode& b)>& before) {
    ItemNode* parent = Find(parentItem);
    if (!parent || parent->children_.Size() < 2)
        return;
    std::vector<ItemNode*> children = parent->children_.Flatten();
    std::stable_sort(children.begin(), children.end(),
                     [&](const ItemNode* a, const ItemNode* b) { return before(*a, *b); });
    Reorder(*parent, std::move(children));
}

void ItemStore::Reorder(ItemNode& parent, std::vector<ItemNode*> children) {
    if (children == parent.children_.Flatten())
        return;  // in order already (all of a wide folder's empty sub-folders, say)
    ItemStoreListener* listener = ListenerFor(parent);  // none below a held item
    if (listener && held_.Holds(parent))
        held_.Announce(parent, *listener);  // what it reorders is what it was told
    if (listener)
        listener->BeginReorder(parent);
    parent.children_.Assign(children);
    held_.RowsMoved(parent);
    if (listener)
        listener->EndReorder(parent);
}

void ItemStore::ForgetSubtree(ItemNode& node) {
    std::vector<ItemNode*> gone = Descendants(node);
    gone.push_back(&node);
    for (ItemNode* item : gone) {
        index_.Remove(static_cast<std::uint64_t>(item->id_));
        if (item == watched_)
            watched_ = nullptr;
    }
}

// Every deletion comes here: a selected item that goes hands the selection to a neighbour,
// which the listener hears of once the rows are gone.
void ItemStore::RemoveRows(ItemNode& parent, std::size_t first, std::size_t last) {
    if (&parent == watched_)
        watchedChanges_.all = true;
    const TreeItem selected = Selection();
    const ItemNode* selectedNode = Node(selected);
    const TreeItem next = selected != TreeItem::None && selectedNode
                              ? SelectionAfterRemoving(*selectedNode, parent, first, last).Id()
                              : selected;
    selected_.store(static_cast<std::uint64_t>(next), std::memory_order_release);
    if (listener_)
        listener_->BeginRemove(parent, static_cast<int>(first), static_cast<int>(last));
    std::vector<ItemNode*> taken = parent.children_.Take(first, last);
    held_.RowsMoved(parent);
    for (ItemNode* node : taken)
        ForgetSubtree(*node);
    DestroySubtrees(std::move(taken));
    if (listener_) {
        listener_->EndRemove();
        if (next != selected)
            listener_->SelectionChanged(next);
    }
}

void ItemStore::DeleteItem(TreeItem item) {
    if (item == TreeItem::None) {  // the null item stands for the whole tree
        RemoveChildren(TreeItem::None);
        return;
    }
    ItemNode* node = Find(item);
    if (!node)
        return;
    AnnounceHeld();  // rows are removed as the listener knows them
    node->SetRecord(nullptr);
    const std::size_t row = node->Row();
    RemoveRows(*node->parent_, row, row);
}

void ItemStore::ClearSubtreeData(TreeItem item) {
    ItemNode* top = Find(item);
    if (!top)
        return;
    // Children before their parent, siblings in order: each child's subtree is cleared
    // before the child itself.
    struct Level {
        ItemNode* node;
        std::size_t next;
    };
    std::vector<Level> levels{{top, 0}};
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next < level.node->children_.Size()) {
            ItemNode* child = level.node->children_.At(level.next++);
            levels.push_back({child, 0});
            continue;
        }
        ItemNode* done = level.node;
        levels.pop_back();
        if (done != top)
            SetItemData(done->id_, nullptr);
    }
}

bool ItemStore::RemoveChildren(TreeItem item) {
    ItemNode* node = Find(item);
    if (!node)
        return true;
    AnnounceHeld();                             // rows are removed as the listener knows them
    for (ItemNode* below : Descendants(*node))  // without telling a view about items it loses
        below->SetRecord(nullptr);
    if (!node->children_.Empty())
        RemoveRows(*node, 0, node->children_.Size() - 1);
    return true;
}
