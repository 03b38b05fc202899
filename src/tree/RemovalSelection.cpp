// The neighbour that inherits the selection from deleted rows.
#include "tree/RemovalSelection.h"

#include "tree/ItemStore.h"

const ItemNode& SelectionAfterRemoving(const ItemNode& selected, const ItemNode& parent,
                                       std::size_t first, std::size_t last) {
    const ItemNode* row = &selected;  // the ancestor of selected that is a child of parent
    while (row->Parent() && row->Parent() != &parent)
        row = row->Parent();
    if (row->Parent() != &parent || row->Row() < first || row->Row() > last)
        return selected;
    const ChildList& siblings = parent.Children();
    if (last + 1 < siblings.Size())
        return *siblings.At(last + 1);
    if (first > 0)
        return *siblings.At(first - 1);
    return parent;
}
