// The folder tree's items: label, icon index, one record, parent and ordered children. This
// is the model's only structure. It carries out the TreeControl operations directly and is
// owned by one thread (the user-interface thread in the window); only ReserveItem() and the
// selection may be used from other threads.
//
// An item keeps its label and record as parts, not as strings: the name it was inserted
// with, the figures, and how the texts are made of them. Paths are spelled out from the
// names up the tree when a reader asks. So an item costs about a hundred bytes however deep
// it lies, and a walk of the tree never recurses.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tree/ChildList.h"
#include "tree/HeldItems.h"
#include "tree/ItemIndex.h"
#include "tree/ShortText.h"
#include "tree/TreeControl.h"

struct ItemExtras;

class ItemNode {
  public:
    TreeItem Id() const { return id_; }
    const ItemNode* Parent() const { return parent_; }  // null only for the top-level node
    const ChildList& Children() const { return children_; }
    std::uint32_t Row() const { return parent_ ? parent_->children_.RowOf(*this) : 0; }
    int Image() const { return image_; }
    bool Expanded() const { return flags_ & kExpanded; }
    // Whether the store's listener has been told about the item (see ItemStore::BeginBatch).
    bool Announced() const { return notice_ == Notice::Told; }

    // The label as shown.
    std::string Text() const;
    // How the label is made: plain text, a folder's figures or a FILES entry's.
    LabelForm Form() const { return static_cast<LabelForm>(Field(kFormShift, 2)); }
    // LabelKey of the label, without spelling all of it out.
    std::uint64_t Key() const;
    bool HasRecord() const { return flags_ & kHasRecord; }
    // The record's figures and name, valid when HasRecord().
    std::uint64_t TotalBytes() const { return totalBytes_; }
    std::uint64_t DiskBytes() const { return diskBytes_; }
    // TotalBytes or DiskBytes, whichever the tree shows (SizeMeasure).
    std::uint64_t ShownBytes() const;
    std::uint64_t FilesBytes() const { return filesBytes_; }
    std::int32_t FolderCount() const { return folderCount_; }
    std::int32_t FileCount() const { return fileCount_; }
    bool IsFilesEntry() const { return flags_ & kFilesEntry; }
    bool IsComplete() const { return flags_ & kComplete; }
    std::string RecordName() const;
    // The record with its path spelled out (as long as the item's depth), or nothing.
    std::optional<FolderRecord> Record() const;
    // The record with an empty path, for readers that need the name and figures only.
    std::optional<FolderRecord> RecordWithoutPath() const;
    // The path of the folder the item stands for: the root's path, then the names of the
    // items down to this one, joined by "/".
    std::string FolderPath() const;

    ItemNode();
    ~ItemNode();

  private:
    friend class ItemStore;
    friend class ChildList;
    friend struct ChildBlock;
    friend class HeldItems;

    // What the store's listener knows of the item: told, held back with the batch that
    // inserted it, or inserted below a held item (it is told along with that one).
    enum class Notice : std::uint8_t { Told, Held, InsideHeld };

    // One 16-bit word holds the flags and how each text is made: the label's form and stem,
    // the record's name and the record's path.
    enum Flags : std::uint16_t {
        kExpanded = 1 << 0,
        kHasRecord = 1 << 1,
        kFilesEntry = 1 << 2,
        kComplete = 1 << 3,
        kMegabytes = 1 << 4,          // the label's unit
        kLabelFiguresApart = 1 << 5,  // the label's figures are in extras, not the record's
    };
    enum class Source : std::uint16_t { None, Name, Files, Extra };
    enum class PathSource : std::uint16_t { None, ItemFolder, ParentFolder, Name, Extra };
    static constexpr int kFormShift = 6, kStemShift = 8, kNameShift = 10, kPathShift = 12;

    std::uint16_t Field(int shift, int width) const {
        return static_cast<std::uint16_t>((flags_ >> shift) & ((1 << width) - 1));
    }
    void SetField(int shift, int width, std::uint16_t value) {
        const auto mask = static_cast<std::uint16_t>(((1 << width) - 1) << shift);
        flags_ = static_cast<std::uint16_t>((flags_ & ~mask) | ((value << shift) & mask));
    }
    void SetFlag(Flags flag, bool on) {
        flags_ = static_cast<std::uint16_t>(on ? flags_ | flag : flags_ & ~flag);
    }
    Source LabelStem() const { return static_cast<Source>(Field(kStemShift, 2)); }
    Source RecordNameSource() const { return static_cast<Source>(Field(kNameShift, 2)); }
    PathSource RecordPathSource() const { return static_cast<PathSource>(Field(kPathShift, 3)); }
    void SetForm(LabelForm form) { SetField(kFormShift, 2, static_cast<std::uint16_t>(form)); }
    void SetLabelStem(Source s) { SetField(kStemShift, 2, static_cast<std::uint16_t>(s)); }
    void SetRecordName(Source s) { SetField(kNameShift, 2, static_cast<std::uint16_t>(s)); }
    void SetRecordPath(PathSource s) { SetField(kPathShift, 3, static_cast<std::uint16_t>(s)); }

    ItemExtras& Extras();
    void SetLabel(ItemLabel label);
    void SetRecord(const FolderRecord* record);
    bool LabelFiguresMatch(const FolderRecord& record) const;
    void MoveLabelFiguresApart();
    std::string_view Resolve(Source source, std::string_view extra) const;

    TreeItem id_ = TreeItem::None;
    ItemNode* parent_ = nullptr;
    ChildList children_;
    ShortText name_;  // the text the item was inserted with; a path component or a root path
    std::unique_ptr<ItemExtras> extras_;
    // The record's figures; also the label's while the label shows the same ones.
    std::uint64_t totalBytes_ = 0;
    std::uint64_t filesBytes_ = 0;
    std::uint64_t diskBytes_ = 0;  // 8 bytes more, but the allocation stays at 112 bytes
    std::int32_t folderCount_ = 0;
    std::int32_t fileCount_ = 0;
    ChildBlock* block_ = nullptr;  // kept by the parent's ChildList
    std::uint8_t image_ = 0;
    Notice notice_ = Notice::Told;
    std::uint16_t flags_ = kMegabytes | (static_cast<std::uint16_t>(Source::Name) << kStemShift);
};

// Told about every change, so that a view can follow. Called on the owning thread, before
// and after each change, like QAbstractItemModel's begin/end pairs. Rows are the rows the
// listener knows (ItemStore::ShownRow); an insertion covers a run of adjacent rows.
class ItemStoreListener {
  public:
    virtual ~ItemStoreListener() = default;
    virtual void BeginInsert(const ItemNode& parent, int first, int last) = 0;
    virtual void EndInsert() = 0;
    virtual void BeginRemove(const ItemNode& parent, int first, int last) = 0;
    virtual void EndRemove() = 0;
    virtual void BeginReorder(const ItemNode& parent) = 0;
    virtual void EndReorder(const ItemNode& parent) = 0;
    virtual void ItemChanged(const ItemNode& item) = 0;  // label or record
    virtual void ExpandChanged(const ItemNode& item) = 0;
    virtual void SelectionChanged(TreeItem selected) = 0;
};

// Orders labels as a file manager lists names: ASCII case ignored, then plain byte order.
int CompareLabels(std::string_view a, std::string_view b);

class ItemStore : public TreeControl {
  public:
    ItemStore();
    ~ItemStore() override;
    ItemStore(const ItemStore&) = delete;
    ItemStore& operator=(const ItemStore&) = delete;

    // Items held for an earlier listener count as told.
    void SetListener(ItemStoreListener* listener);

    // While a batch is open (the window applies the scans' operations in batches), an item
    // inserted under an item the listener knows is held back: the listener neither sees it
    // nor hears of changes to it or to anything inserted below it, until AnnounceHeld tells
    // it of all of them at once, per parent: a few runs of adjacent rows one by one, more as
    // one run appended after the parent's other children followed by one reorder into their
    // places. Whatever the listener must see at once announces them first: removing items,
    // sorting the children of an item it knows, expanding or selecting a held item, and an
    // insertion outside a batch. The tree as the TreeControl operations read it never
    // waits: held items are in their places.
    void BeginBatch() { batch_ = true; }
    void EndBatch() { batch_ = false; }
    void AnnounceHeld();
    bool HoldsItems() const { return !held_.Empty(); }

    // The children of parent as the listener knows them: without held items, or with them
    // after the others while they are being announced. For the listener and its views.
    std::size_t ShownCount(const ItemNode& parent) const { return held_.ShownCount(parent); }
    const ItemNode* ShownChild(const ItemNode& parent, std::size_t row) const {
        return held_.ShownChild(parent, row);
    }
    std::size_t ShownRow(const ItemNode& child) const { return held_.ShownRow(child); }

    // The children of one item are watched for a reader that keeps what it derived from
    // them (the detail panel): the children inserted, relabelled or given a record since the
    // last call for the same parent. `all` when they must all be looked at again: the first
    // call for a parent, or children were removed. Owning thread only; changes nothing in the
    // tree.
    struct ChildChanges {
        bool all = true;
        std::vector<TreeItem> items;  // may repeat an item
    };
    ChildChanges TakeChildChanges(TreeItem parent) const;

    // A fresh handle for an item that InsertItemAs() will create; safe from any thread.
    TreeItem ReserveItem();
    // Inserts an item under a handle from ReserveItem(). Does nothing when the parent no
    // longer exists (it was deleted after the handle was given out).
    void InsertItemAs(TreeItem id, ItemLabel text, int image, TreeItem parent, InsertAt where);

    TreeItem InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) override;
    void SetItemText(TreeItem item, ItemLabel text) override;
    void SetItemImage(TreeItem item, int image) override;
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override;
    std::optional<FolderRecord> GetItemData(TreeItem item) override;
    std::optional<FolderRecord> GetItemDataWithoutPath(TreeItem item) override;
    void Expand(TreeItem item, bool expand) override;
    TreeItem GetChild(TreeItem item) override;
    TreeItem GetNextItem(TreeItem item) override;
    TreeItem GetParent(TreeItem item) override;
    TreeItem GetSelection() override { return Selection(); }
    void Select(TreeItem item) override;
    void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) override;
    // Orders the direct children of parent by the items themselves (stable): for orders that
    // need more than the records, such as a comparison's.
    void OrderChildren(TreeItem parent,
                       const std::function<bool(const ItemNode& a, const ItemNode& b)>& before);
    void DeleteItem(TreeItem item) override;
    bool RemoveChildren(TreeItem item) override;
    void ClearSubtreeData(TreeItem item) override;

    // Readers for the owning thread. Node(None) is the hidden top-level node.
    const ItemNode* Node(TreeItem item) const;
    std::optional<FolderRecord> Record(TreeItem item) const;
    const ItemNode& Top() const { return top_; }
    TreeItem Selection() const {
        return static_cast<TreeItem>(selected_.load(std::memory_order_acquire));
    }
    std::size_t ItemCount() const { return index_.Size(); }

  private:
    ItemNode* Find(TreeItem item);
    ItemNode* FindItem(TreeItem item);  // like Find, but None names no item
    void ForgetSubtree(ItemNode& node);
    void RemoveRows(ItemNode& parent, std::size_t first, std::size_t last);
    // The listener, when it is to hear of a change to node; null otherwise.
    ItemStoreListener* ListenerFor(const ItemNode& node) const {
        return node.Announced() ? listener_ : nullptr;
    }
    void ItemChanged(ItemNode& node);
    void NoteChildChange(const ItemNode& child) const;
    // Puts parent's children in the order given, telling the listener when it changes any.
    void Reorder(ItemNode& parent, std::vector<ItemNode*> children);

    ItemNode top_;
    ItemIndex index_;
    std::atomic<std::uint64_t> nextId_{1};
    std::atomic<std::uint64_t> selected_{0};
    ItemStoreListener* listener_ = nullptr;
    HeldItems held_;
    bool batch_ = false;
    bool announcing_ = false;
    mutable const ItemNode* watched_ = nullptr;  // whose children TakeChildChanges reports
    mutable ChildChanges watchedChanges_;
};
