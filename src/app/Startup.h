// Start-up: the command line, the mode it selects (install, registration, uninstall, a
// folder, a scan file, or an ordinary start), the steps of each mode, and the start of the
// window.
#pragma once

#include <string>
#include <vector>

#include "scan/RootList.h"

enum class StartMode { Ordinary, Install, Register, Uninstall, Folder, ScanFile };

// The command-line text: the arguments after the program name, joined by single blanks.
std::string CommandLineText(const std::vector<std::string>& arguments);
// The mode of a command-line text. Switches match only exactly ("-R", "-I", "-U"); "-f "
// followed by a file reads that scan file (and further " -f FILE" more of them); an empty text is
// an ordinary start; everything else names a folder.
StartMode ModeOf(const std::string& text);
// The folder a command-line text names: without its first and last characters when both are
// double quotation marks, otherwise the text as it stands.
std::string FolderOf(const std::string& text);
// The scan files of the text after "-f ": "A -f B -f C" names three, grafted into one root.
std::vector<std::string> ScanFilesOf(const std::string& text);

// What start-up asks of the rest of the system, in the order the modes need it.
class StartupActions {
  public:
    virtual ~StartupActions() = default;
    // Writes (true) or removes (false) the folder context-menu command.
    virtual void RefreshFolderCommand(bool registerCommand) = 0;
    // Installs the shortcuts (set-up with "-R").
    virtual void Install() = 0;
    // Asks whether to uninstall; true for Yes.
    virtual bool ConfirmUninstall() = 0;
    virtual void Uninstall() = 0;
    // The long form of a path (the path itself when it cannot be had).
    virtual std::string LongPath(const std::string& path) = 0;
    // The Desktop, documents folder and mount roots.
    virtual DefaultFolders DefaultStartingFolders() = 0;
    // Creates and shows the main window on startFolder (empty: no scan), or with scanFile
    // read into it when that is not empty, writes the uninstall entry once it is shown, and
    // runs the event loop; returns its exit code.
    virtual int RunWindow(const std::string& startFolder, const std::string& scanFile) = 0;
};

// Runs the steps of commandLine's mode and returns the process's exit code: -1 when the
// uninstall question is answered No, 0 after uninstalling, otherwise the window's.
int RunStartup(const std::string& commandLine, StartupActions& actions, RootList& roots);
