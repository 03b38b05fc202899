// The tree operations a ScanQueue carries, as values: what a scan asked for, and from which
// lane (so that the operations of a scan that was superseded can be dropped).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>

#include "tree/ItemStore.h"

namespace QueueOp {

struct Insert {
    TreeItem id;
    ItemLabel text;
    int image;
    TreeItem parent;
    InsertAt where;
};
struct SetText {
    TreeItem item;
    ItemLabel text;
};
struct SetImage {
    TreeItem item;
    int image;
};
struct SetData {
    TreeItem item;
    std::unique_ptr<FolderRecord> record;
};
struct ExpandItem {
    TreeItem item;
    bool expand;
};
struct SelectItem {
    TreeItem item;
};
struct Sort {
    TreeItem parent;
    ItemCompare compare;
    std::intptr_t context;
};
struct Delete {
    TreeItem item;
};
struct RemoveBelow {
    TreeItem item;
};
struct ClearBelow {
    TreeItem item;
};
struct ScanEnd {
    std::uint64_t id;
};
// A question from a producer, answered on the owner thread in queue order. Lives on the
// asking thread's stack until done is set (under the queue's mutex) or the queue is closed.
struct Question {
    std::function<void(ItemStore&)> ask;
    bool done = false;
};
struct Query {
    Question* question;
};

}  // namespace QueueOp

struct QueueOperation {
    std::variant<QueueOp::Insert, QueueOp::SetText, QueueOp::SetImage, QueueOp::SetData,
                 QueueOp::ExpandItem, QueueOp::SelectItem, QueueOp::Sort, QueueOp::Delete,
                 QueueOp::RemoveBelow, QueueOp::ClearBelow, QueueOp::ScanEnd, QueueOp::Query>
        what;
    // The lane's drop flag: when it is true as the operation is reached, a change to the tree
    // is dropped. Null for operations that are always applied.
    const std::atomic<bool>* dropped = nullptr;
};
