// Where the selection goes when the selected item is deleted: to a neighbour, as a native tree
// moves it, so that the next command on "the selected item" (a second Remove) acts on the
// item the user now sees selected instead of on the whole tree.
#pragma once

#include <cstddef>

class ItemNode;

// The item to select once rows first to last of parent are deleted, when selected is one of
// them or lies below one: the sibling after them, else the one before them, else parent
// itself (the top-level node when they are roots, which stands for no selection). Otherwise
// selected itself.
const ItemNode& SelectionAfterRemoving(const ItemNode& selected, const ItemNode& parent,
                                       std::size_t first, std::size_t last);
