// The measure of the selected folder's children, from scratch or kept between paints.
#include "panel/ChildMeasures.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <vector>

#include "report/ReportText.h"
#include "scan/SizeUnit.h"
#include "tree/SizeMeasure.h"

namespace {

int TextWidth(const ItemNode& child, const QFontMetrics& metrics) {
    return metrics.horizontalAdvance(
        QString::fromStdString(ReportText::ChildText(child.RecordName(), child.ShownBytes())));
}

// Removes one of value from a count of values.
template <typename Key>
void Uncount(std::map<Key, int>& counts, const Key& value) {
    auto found = counts.find(value);
    if (found != counts.end() && --found->second == 0)
        counts.erase(found);
}

}  // namespace

ChildMeasure MeasureChildren(const ItemNode& node, const QFontMetrics& metrics) {
    ChildMeasure measure;
    for (const ItemNode& child : node.Children()) {
        if (!child.HasRecord())
            break;
        measure.largest = std::max(measure.largest, child.ShownBytes());
        measure.nameWidth = std::max(measure.nameWidth, TextWidth(child, metrics));
        measure.lineHeight = std::max(measure.lineHeight, metrics.height());
    }
    return measure;
}

ChildMeasure ChildMeasureCache::Measure(const ItemStore& store, const ItemNode& node,
                                        const QFontMetrics& metrics, const QFont& font) {
    const bool megabytes = SizeUnit::InMegabytes();
    const bool onDisk = SizeMeasure::OnDisk();
    ItemStore::ChildChanges changes = store.TakeChildChanges(node.Id());
    if (changes.all || node.Id() != selected_ || megabytes != megabytes_ || onDisk != onDisk_ ||
        !(font == font_)) {
        selected_ = node.Id();
        megabytes_ = megabytes;
        onDisk_ = onDisk;
        font_ = font;
        Restart(node);
    } else {
        std::sort(changes.items.begin(), changes.items.end());
        changes.items.erase(std::unique(changes.items.begin(), changes.items.end()),
                            changes.items.end());
        waiting_.insert(waiting_.end(), changes.items.begin(), changes.items.end());
    }
    for (std::size_t measured = 0; next_ < waiting_.size() && measured < kTextsPerCall;)
        measured += Update(store, waiting_[next_++], node, metrics);
    if (!Measuring()) {
        waiting_.clear();
        next_ = 0;
    }
    return Aggregate(store, node, metrics);
}

void ChildMeasureCache::Restart(const ItemNode& node) {
    lines_.clear();
    widths_.clear();
    sizes_.clear();
    bare_.clear();
    waiting_.clear();
    next_ = 0;
    for (const ItemNode* child : node.Children().Flatten())
        waiting_.push_back(child->Id());
}

bool ChildMeasureCache::Update(const ItemStore& store, TreeItem item, const ItemNode& node,
                               const QFontMetrics& metrics) {
    const auto id = static_cast<std::uint64_t>(item);
    Forget(id);
    const ItemNode* child = store.Node(item);
    if (!child || child->Parent() != &node)
        return false;  // no longer a child
    Line line{child->ShownBytes(), 0, child->HasRecord()};
    if (line.record) {
        line.width = TextWidth(*child, metrics);
        ++textsMeasured_;
    }
    Add(id, line);
    return line.record;
}

void ChildMeasureCache::Add(std::uint64_t id, const Line& line) {
    lines_[id] = line;
    if (line.record) {
        ++widths_[line.width];
        ++sizes_[line.bytes];
    } else {
        bare_.insert(id);
    }
}

void ChildMeasureCache::Forget(std::uint64_t id) {
    auto found = lines_.find(id);
    if (found == lines_.end())
        return;
    if (found->second.record) {
        Uncount(widths_, found->second.width);
        Uncount(sizes_, found->second.bytes);
    } else {
        bare_.erase(id);
    }
    lines_.erase(found);
}

// Over every child with a record when all have one; otherwise over the children before the
// first without one, which are walked (that happens while a child is being scanned).
// Children not measured yet count for nothing.
ChildMeasure ChildMeasureCache::Aggregate(const ItemStore& store, const ItemNode& node,
                                          const QFontMetrics& metrics) const {
    ChildMeasure measure;
    std::size_t cut = node.Children().Size();
    for (std::uint64_t id : bare_) {
        if (const ItemNode* child = store.Node(static_cast<TreeItem>(id)))
            cut = std::min<std::size_t>(cut, child->Row());
    }
    if (cut == node.Children().Size()) {
        if (!sizes_.empty()) {
            measure.largest = sizes_.rbegin()->first;
            measure.nameWidth = widths_.rbegin()->first;
            measure.lineHeight = metrics.height();
        }
        return measure;
    }
    for (std::size_t row = 0; row < cut; ++row) {
        auto line = lines_.find(static_cast<std::uint64_t>(node.Children().At(row)->Id()));
        if (line == lines_.end())
            continue;
        measure.largest = std::max(measure.largest, line->second.bytes);
        measure.nameWidth = std::max(measure.nameWidth, line->second.width);
        measure.lineHeight = metrics.height();
    }
    return measure;
}
