// The list of starting folders.
#include "scan/RootList.h"

#include <algorithm>

RootList& RootList::Instance() {
    static RootList list;
    return list;
}

void RootList::Add(const std::string& path, bool skipDuplicates) {
    if (skipDuplicates && std::find(entries_.begin(), entries_.end(), path) != entries_.end())
        return;
    entries_.push_back(path);
}

void RootList::FillDefaults(const DefaultFolders& folders) {
    if (!folders.desktop.empty())
        entries_.push_back(folders.desktop);
    if (!folders.documents.empty())
        entries_.push_back(folders.documents);
    for (const std::string& root : folders.mountRoots) {
        if (!root.empty())
            entries_.push_back(root);
    }
}
