// The start-up modes and their steps.
#include "app/Startup.h"

#include "ui/ScanFileRoots.h"

std::string CommandLineText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (&argument != &arguments.front())
            text += ' ';
        text += argument;
    }
    return text;
}

StartMode ModeOf(const std::string& text) {
    if (text.empty())
        return StartMode::Ordinary;
    if (text == "-R")
        return StartMode::Install;
    if (text == "-I")
        return StartMode::Register;
    if (text == "-U")
        return StartMode::Uninstall;
    if (text.size() > 3 && text.rfind("-f ", 0) == 0)
        return StartMode::ScanFile;
    return StartMode::Folder;
}

std::string FolderOf(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

std::vector<std::string> ScanFilesOf(const std::string& text) {
    std::vector<std::string> files;
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(" -f ", at)) != std::string::npos; at = next + 4)
        files.push_back(text.substr(at, next - at));
    files.push_back(text.substr(at));
    return files;
}

int RunStartup(const std::string& commandLine, StartupActions& actions, RootList& roots) {
    std::string startFolder;
    std::string scanFile;
    switch (ModeOf(commandLine)) {
        case StartMode::Ordinary:
        case StartMode::Register:
            actions.RefreshFolderCommand(true);
            break;
        case StartMode::Install:
            actions.Install();
            actions.RefreshFolderCommand(false);
            break;
        case StartMode::Uninstall:
            if (!actions.ConfirmUninstall())
                return -1;
            actions.Uninstall();
            actions.RefreshFolderCommand(false);
            return 0;
        case StartMode::Folder: {
            std::string folder = FolderOf(commandLine);
            startFolder = actions.LongPath(folder);
            roots.Add(folder, false);
            break;
        }
        case StartMode::ScanFile: {
            // Not a starting folder: the Desktop menu scans folders of this machine. Files
            // given together ("-f A -f B") are one root, the graft of them.
            std::vector<std::string> files;
            for (const std::string& file : ScanFilesOf(commandLine.substr(3)))
                files.push_back(actions.LongPath(FolderOf(file)));
            scanFile = ScanFileRoots::JoinFiles(files);
            break;
        }
    }
    roots.FillDefaults(actions.DefaultStartingFolders());
    return actions.RunWindow(startFolder, scanFile);
}
