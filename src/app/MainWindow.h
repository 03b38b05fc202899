// The program's only top-level window: menu bar, accelerators, toolbar, status bar, the
// folder tree left of the splitter and the detail panel right of it, the start folder, and
// the handlers of the command table.
#pragma once

#include <QMainWindow>
#include <QMenu>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Commands.h"
#include "app/WindowSettings.h"
#include "scan/RootList.h"
#include "ui/ComparisonView.h"
#include "ui/FolderTreeView.h"
#include "ui/Toolbar.h"
#include "ui/TrashMoves.h"

class ClientArea;
class ContentArea;
class DesktopMenu;
class DetailPanel;
class Dialogs;
class LargestFilesWindow;
class TrashCommand;
class QLabel;
class QTimer;
class StatusHints;

// What the window uses of the rest of the system; tests replace any of it.
struct WindowServices {
    WindowSettings* settings = nullptr;  // null: every setting at its default, nothing saved
    RootList* roots = nullptr;           // null: RootList::Instance()
    // The folder chooser of Open: a folder, or nothing when cancelled.
    std::function<std::optional<std::string>(QWidget* owner)> chooseFolder;
    // The file chooser of Open Scan File: the files chosen, none when cancelled.
    std::function<std::vector<std::string>(QWidget* owner)> chooseScanFiles;
    // Opens the desktop's file manager on a folder (Explore Selected); false when there is
    // none to open it with.
    std::function<bool(const std::string& folder)> openFolder;
    // The Desktop menu's names of the mount points; null: this system's
    // (ReadMountDisplayNames).
    std::function<std::map<std::string, std::string>()> mountNames;
    // The save-file and print dialogs and the printing error box; must outlive the window.
    // Null: Export and Print do nothing.
    Dialogs* dialogs = nullptr;
    // Moves a file or folder to the desktop's trash (Move to Trash), called off the
    // user-interface thread; null: the freedesktop trash of this user.
    TrashMoves::Mover moveToTrash;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // How long closing the window waits for the scans to stop.
    static constexpr std::chrono::milliseconds kScanStopWait{50};

    // Reads the splitter position (SPLITTERW0). Nothing is shown before Create.
    explicit MainWindow(WindowServices services, QWidget* parent = nullptr);
    // Stops and joins every scan before the tree goes away, however long that takes (see
    // RunWindowLoop for a process that must not wait).
    ~MainWindow() override;

    // Gives the window its title, bars, tree, panel and layout, starts the scan of the start
    // folder when there is one, and restores the saved placement. Does not show the window.
    void Create();

    const std::string& StartFolder() const { return startFolder_; }
    void SetStartFolder(std::string folder) {
        startFolder_ = std::move(folder);
        startIsScanFile_ = false;
    }
    // Starts with a scan file instead of a folder: Create reads it, Refresh reads it again.
    void SetStartScanFile(std::string file) {
        startFolder_ = std::move(file);
        startIsScanFile_ = true;
    }
    RootList& Roots() { return *roots_; }
    FolderTreeView& Tree() { return *tree_; }
    // The comparison of a root with a scan file; null before Create.
    ComparisonView* Comparison() { return comparison_.get(); }

    // The detail panel right of the splitter, the area that holds it, the tree and the
    // splitter, the area that holds that and the toolbar, the toolbar and the Desktop
    // menu; null before Create.
    QWidget* Panel() const;
    ContentArea* Content() const { return content_; }
    ClientArea* Client() const { return client_; }
    ToolbarControl& Toolbar() { return toolbar_; }
    DesktopMenu* StartingFolderMenu() const { return desktopMenu_; }
    int SplitterPos() const;

    // The status bar's text.
    void SetStatusText(const QString& text);
    QString StatusText() const;

    // Runs a command of the table; false when the identifier has no handler or the window
    // is not created yet.
    bool ExecuteCommand(int command);
    // The menu-bar item of a command, or null.
    QAction* MenuAction(int command) const;
    // The item menu as last shown; null before the first right click.
    QMenu* ItemMenu() const { return itemMenu_; }
    // The item menu's entry of a command, or null.
    QAction* ItemMenuAction(int command) const;
    // The largest-files window last opened, while it is open.
    LargestFilesWindow* LargestFiles() const;
    // Moves to the trash whose outcome has not come back yet.
    std::size_t PendingTrashMoves() const;

    // Command handlers.
    void ShowAbout();
    void RemoveSelected();
    // Asks, then moves the selected folder to the trash (never a root, never a folder read
    // from a scan file); the tree follows once it has moved.
    void MoveSelectedToTrash();
    // Scans the selected folder again by itself (a root: the root; a scan file's tree: the
    // file read again).
    void RefreshSelected();
    // Opens the list of the largest files below the selected folder.
    void ShowLargestFiles();
    // Switches between apparent sizes and the space on disk everywhere a size is shown, and
    // keeps the choice in the settings.
    void ToggleSizeOnDisk();
    void BrowseForFolder();
    // Reads the scan files chosen in the file chooser, each into its own root; the last one
    // becomes the start.
    void OpenScanFiles();
    // Opens the file manager on the selected folder. A folder read from a scan file is
    // opened only when it exists on this machine (checked off the user-interface thread);
    // otherwise, or when there is no file manager, the status bar says so until the
    // selection changes.
    void ExploreSelected();
    void ChooseStartingFolder(int index);
    // Switches between megabytes and kilobytes: menu check mark and toolbar button follow,
    // every label of the tree is rewritten, and the panel repaints.
    void ToggleUnits();
    void ReadScanRules();
    void ToggleScanRule(bool& rule, const char* key);
    void ShowScanRules();
    // Puts the scan file and time of the selected item's root into the status bar when it was
    // read from a scan file.
    void ShowSourceOfSelection();
    // Writes the report of the selected folder to a file chosen in the save dialog; a
    // failure is shown in the status bar.
    void ExportReport();
    // Prints the panel's content on one page of a printer chosen in the print dialog; a
    // page that cannot be written to its PDF file is a failure in the status bar.
    void PrintReport();
    // Drops the Desktop menu down from the first toolbar button; returns when it closes.
    void ShowDesktopMenu();
    void ShowItemMenu(const QPoint& globalPos);
    // Repaints the detail panel (coalesced).
    void RefreshPanel();
    // Compares the root of the selected item with a scan file chosen in the file chooser;
    // when a comparison is shown, leaves it.
    void CompareWithScanFile();

  protected:
    // Closing the window (Exit included) saves the placement, closes the scan queue, stops
    // every scan and waits at most kScanStopWait for their threads.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void BuildCommands();
    void CreateBars();
    void CreateViews();
    void RestorePlacement();
    void SavePlacement();
    void UpdateCommandStates();
    void ShowUnit();
    // Takes item and everything below it out of the tree (Remove, and a folder moved to the
    // trash).
    void RemoveItem(TreeItem item);
    // Opens folder in the file manager; one of a scan file's tree only when it exists here.
    void ExploreFolder(const std::string& folder, bool imported);
    // Scans the start folder, or reads the start scan file.
    void ScanStart();
    // Opens the folder of the last Explore Selected on a scan file's item, or says it is not
    // on this machine, once its check has answered.
    void FinishFolderCheck();
    void OpenFolder(const std::string& folder);
    // Shows a failure that concerns the selected item; it goes when the selection changes.
    void ShowItemFailure(const QString& failure);
    void ForgetItemFailure();
    // Shows the failure of an export or print; without one, replaces the text of an earlier
    // failure that is still shown by "Ready".
    void ShowOutputFailure(const std::optional<QString>& failure);

    WindowServices services_;
    RootList* roots_;
    std::string startFolder_;
    bool startIsScanFile_ = false;  // startFolder_ names a scan file
    int splitterPos_;
    // The View options for the scans, kept in the settings under these keys (0 or 1).
    ScanRules scanRules_;
    static constexpr const char* kOneFileSystemKey = "ONEFILESYSTEM";
    static constexpr const char* kHiddenEntriesKey = "HIDDENENTRIES";
    static constexpr const char* kSizeOnDiskKey = "SIZEONDISK";
    std::unique_ptr<FolderTreeView> tree_;
    std::unique_ptr<ComparisonView> comparison_;  // goes before the tree it reads
    bool sortByChange_ = false;
    DetailPanel* panel_ = nullptr;    // owned by content_
    ClientArea* client_ = nullptr;    // the central widget: toolbar and content area
    ContentArea* content_ = nullptr;  // owned by client_
    QLabel* statusText_ = nullptr;
    ToolbarControl toolbar_;
    DesktopMenu* desktopMenu_ = nullptr;  // owned by the window
    StatusHints* hints_ = nullptr;        // owned by the window
    CommandTable commands_;
    std::map<int, QAction*> menuActions_;
    QMenu* itemMenu_ = nullptr;           // the item menu, built once; owned by the window
    std::optional<QRect> restoredOuter_;  // re-applied once the frame is known
    QString outputFailure_;               // the last export or print failure shown
    QString itemFailure_;                 // the last Explore failure shown
    QString sourceText_;                  // the last "Read from FILE" shown for a selection
    // Whether a folder exists, asked on a thread of its own and polled by the timer.
    struct FolderCheck;
    std::shared_ptr<FolderCheck> folderCheck_;
    QTimer* folderCheckTimer_ = nullptr;  // owned by the window
    std::unique_ptr<TrashCommand> trash_;
    QPointer<LargestFilesWindow> largestFiles_;
};

// Runs the event loop until the window has closed, then ends the process with the loop's exit
// code, after flushing the standard streams: the settings are saved by then and scans write
// nothing. Neither a scan thread blocked in the file system (a hung mount) nor freeing a tree
// of millions of items one by one keeps the process alive after its window has gone.
[[noreturn]] void RunWindowLoop(MainWindow& window);
