// Move to Trash on the folder tree and on the largest-files list: what may move (never a
// root, never what a scan file describes), the question naming what it frees on disk, the
// move off the user-interface thread, and the tree afterwards: the item leaves and every
// ancestor loses its figures at once, without a rescan. A move that fails changes nothing;
// the status bar says why.
#pragma once

#include <QString>

#include <functional>
#include <string>

#include "largest/LargestFiles.h"
#include "ui/FolderTreeView.h"
#include "ui/TrashMoves.h"

class TrashCommand {
  public:
    struct Hooks {
        // The question; true to go on (Enter), false to leave everything as it is (Escape).
        std::function<bool(const std::string& text)> confirm;
        std::function<void(const QString& text)> showStatus;
        // Takes a folder item out of the tree the way Remove does.
        std::function<void(TreeItem item)> removeItem;
        std::function<void()> refreshPanel;
    };

    TrashCommand(FolderTreeView& tree, TrashMoves::Mover mover, Hooks hooks);

    // Whether item is a folder below a root that was scanned on this machine.
    bool CanMoveFolder(TreeItem item);
    // Whether the files below folder item `base` are on this machine (not from a scan file).
    bool CanMoveFilesBelow(TreeItem base);
    // Stops the scans of its root, asks, and moves the folder of item to the trash.
    void MoveFolder(TreeItem item);
    // The same for a file of the largest-files list of folder item `base`; moved is called
    // once it is in the trash.
    void MoveFile(TreeItem base, const LargeFile& file, std::function<void()> moved);
    // Moves whose outcome has not come back yet.
    std::size_t Pending() const { return moves_.Pending(); }

  private:
    void FolderMoved(TreeItem item, const std::string& path, const TrashOutcome& outcome);
    void FileMoved(TreeItem folder, TreeItem root, const LargeFile& file, const std::string& path,
                   const TrashOutcome& outcome);
    // The folder item at relative path `folder` below base, or None.
    TreeItem FolderBelow(TreeItem base, const std::string& relativeFolder);
    bool Failed(const std::string& path, const TrashOutcome& outcome);

    FolderTreeView& tree_;
    TrashMoves moves_;
    Hooks hooks_;
};

// A size in the current unit, "12.50 M".
std::string SizeText(std::uint64_t bytes);
