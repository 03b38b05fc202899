// Small folder trees for the panel and report tests, built straight into an ItemStore.
#pragma once

#include <cstdint>
#include <string>

#include "tree/ItemStore.h"

// Adds a folder item with a finished record under parent (None: a root), after its siblings.
inline TreeItem AddFolder(ItemStore& store, TreeItem parent, const std::string& name,
                          std::uint64_t bytes, std::int32_t folders = 0, std::int32_t files = 0) {
    TreeItem item = store.InsertItem(name, 0, parent, InsertAt::Last);
    std::optional<FolderRecord> parentRecord = store.Record(parent);
    std::string path = parentRecord ? parentRecord->path + "/" + name : name;
    store.SetItemData(item, FolderRecord::Full(path, name, bytes, 0, folders, files, false));
    return item;
}

// Adds an item whose record is not attached yet, as while a scan fills it in.
inline TreeItem AddBareItem(ItemStore& store, TreeItem parent, const std::string& name) {
    return store.InsertItem(name, 0, parent, InsertAt::Last);
}
