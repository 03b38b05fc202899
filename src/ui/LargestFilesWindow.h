// The largest files below a folder of the tree, in a window of its own: found on a thread
// (the disk, or the scan file the tree was read from), listed with their sizes in the
// current unit and their paths relative to the folder, sorted by size or by name. From the
// list, Explore Selected opens a file's folder and Move to Trash moves a file.
#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "largest/LargestFiles.h"
#include "ui/FolderTreeView.h"

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTimer;
class QTreeView;

class LargestFilesWindow : public QDialog {
    Q_OBJECT

  public:
    static constexpr std::size_t kCount = 100;

    // What to search and where its sizes come from.
    struct Source {
        TreeItem item = TreeItem::None;  // the folder's item
        std::string folder;              // the folder's path, as the tree shows it
        // Read from this scan file, from its top folder down to the folder by `below`;
        // otherwise the disk.
        std::optional<std::string> scanFile;
        std::vector<std::string> below;
        ScanRules rules;
    };
    // The source for the folder of item in tree (a FILES entry stands for its folder), with
    // the rules of the scans; nothing when item has no record.
    static std::optional<Source> SourceOf(FolderTreeView& tree, TreeItem item, ScanRules rules);

    struct Actions {
        std::function<void(const std::string& folder)> explore;  // opens a folder
        std::function<bool()> canTrash;                          // files may be moved
        // Asks and moves a file; calls moved once it is in the trash.
        std::function<void(const LargeFile& file, std::function<void()> moved)> trash;
    };

    LargestFilesWindow(Source source, Actions actions, QWidget* parent = nullptr);
    // Stops the search; a thread still reading ends on its own.
    ~LargestFilesWindow() override;

    // Whether the files are still being looked for (and not listed yet).
    bool Searching() const;
    // The files as listed now, in the list's order.
    std::vector<LargeFile> Listed() const;
    QTreeView& List() { return *list_; }
    // Writes the sizes again in the current unit.
    void ShowSizes();
    // Looks for the largest files again: by the other measure, the largest are others.
    void SearchAgain();

    void ExploreSelected();
    void TrashSelected();

  private:
    struct Search;

    void Start();
    void Poll();
    // Lists the files not moved away, makes the row currentRow (or the last) current.
    void Fill(int currentRow = 0);
    void UpdateButtons();
    // The index into files_ of the selected row, or -1.
    int SelectedFile() const;

    Source source_;
    Actions actions_;
    std::shared_ptr<Search> search_;
    std::vector<LargeFile> files_;
    std::vector<bool> gone_;  // moved to the trash
    QLabel* heading_;
    QTreeView* list_;
    QStandardItemModel* model_;
    QPushButton* explore_;
    QPushButton* trash_;
    QTimer* poll_;
};
