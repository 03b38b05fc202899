// The starting folders offered by the Desktop menu, in the order they were added: the
// command-line folder, the Desktop, the documents folder, the mount roots, then the folders
// picked with Open. Entries are only appended, never removed or reordered.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where the default starting folders are on this machine. Empty texts are not appended.
struct DefaultFolders {
    std::string desktop;
    std::string documents;
    std::vector<std::string> mountRoots;  // in the mount table's order, "/" first
};

class RootList {
  public:
    // The process's list, created empty on first use.
    static RootList& Instance();

    // Appends path, unless skipDuplicates is set and an entry equals it exactly (case
    // matters).
    void Add(const std::string& path, bool skipDuplicates);
    // Appends the Desktop, the documents folder and every mount root, without duplicate
    // checks, leaving out the folders the platform could not name.
    void FillDefaults(const DefaultFolders& folders);

    const std::vector<std::string>& Entries() const { return entries_; }
    std::size_t Size() const { return entries_.size(); }

  private:
    std::vector<std::string> entries_;
};
