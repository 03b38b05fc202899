// What the detail panel measures of the selected folder's children: the largest size, the
// widest child text and the line height, over the children up to the first one that has no
// record yet. ChildMeasureCache keeps them from one paint to the next, so that a paint
// measures only the children inserted or changed since the last one, and at most a bounded
// number of them, however many the folder has.
#pragma once

#include <QFont>

#include <cstdint>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tree/ItemStore.h"

class QFontMetrics;

struct ChildMeasure {
    std::uint64_t largest = 0;
    int nameWidth = 0;   // the widest child text: the name column
    int lineHeight = 0;  // the tallest child text: every line below the header
};

// Measures every child of node, every time.
ChildMeasure MeasureChildren(const ItemNode& node, const QFontMetrics& metrics);

class ChildMeasureCache {
  public:
    // Child texts one call of Measure measures at most.
    static constexpr std::size_t kTextsPerCall = 1024;

    // The measure of node's children, as MeasureChildren gives it, once Measuring() is
    // false; until then, the measure of the children measured so far. node must belong to
    // store, which reports which children changed since the last call (it watches the
    // children of one item for this cache). Another node, another unit, another measure
    // (SizeMeasure) or another font measures everything again.
    ChildMeasure Measure(const ItemStore& store, const ItemNode& node, const QFontMetrics& metrics,
                         const QFont& font);
    // Whether children are left to measure: call Measure again (at the next paint).
    bool Measuring() const { return next_ < waiting_.size(); }
    // Child texts measured so far, for tests and benchmarks.
    std::size_t TextsMeasured() const { return textsMeasured_; }

  private:
    struct Line {
        std::uint64_t bytes = 0;
        int width = 0;
        bool record = false;
    };

    void Restart(const ItemNode& node);
    // Measures child again; whether a text was measured.
    bool Update(const ItemStore& store, TreeItem child, const ItemNode& node,
                const QFontMetrics& metrics);
    void Add(std::uint64_t id, const Line& line);
    void Forget(std::uint64_t id);
    ChildMeasure Aggregate(const ItemStore& store, const ItemNode& node,
                           const QFontMetrics& metrics) const;

    TreeItem selected_ = TreeItem::None;
    bool megabytes_ = true;
    bool onDisk_ = false;
    QFont font_;
    std::vector<TreeItem> waiting_;  // children to measure, from next_ on
    std::size_t next_ = 0;
    std::unordered_map<std::uint64_t, Line> lines_;  // by child handle
    std::map<int, int> widths_;                      // of the lines with a record: how many
    std::map<std::uint64_t, int> sizes_;             // of the lines with a record: how many
    std::unordered_set<std::uint64_t> bare_;         // children without a record
    std::size_t textsMeasured_ = 0;
};
