// The real start-up steps.
#include "app/SystemStartup.h"

#include <QApplication>

#include "app/MainWindow.h"
#include "desktop/PackageFiles.h"
#include "fs/PathForm.h"
#include "setup/FolderCommand.h"
#include "setup/SettingsStore.h"
#include "setup/Setup.h"
#include "setup/Uninstaller.h"
#include "ui/DesktopFolders.h"

SystemStartup::SystemStartup(PlatformPaths paths, Dialogs& dialogs)
    : paths_(std::move(paths)), dialogs_(dialogs) {}

void SystemStartup::RefreshFolderCommand(bool registerCommand) {
    FolderCommand(paths_).Refresh(registerCommand);
}

void SystemStartup::Install() {
    Setup(paths_).Run(false);
}

bool SystemStartup::ConfirmUninstall() {
    return dialogs_.AskYesNo(
        "Brimwell", "Brimwell is about to uninstall.\r\n\r\nAre you sure you want to do this?");
}

void SystemStartup::Uninstall() {
    DpkgPackageFiles packages;
    Uninstaller(paths_, dialogs_, packages).Run();
}

std::string SystemStartup::LongPath(const std::string& path) {
    return LongPathForm(path);
}

DefaultFolders SystemStartup::DefaultStartingFolders() {
    return ReadDefaultFolders();
}

int SystemStartup::RunWindow(const std::string& startFolder, const std::string& scanFile) {
    SettingsStore store(paths_);
    UserPreferences preferences(store);
    WindowServices services;
    services.settings = &preferences;
    services.chooseFolder = [](QWidget* owner) { return ChooseFolder(owner); };
    services.chooseScanFiles = [](QWidget* owner) { return ChooseScanFiles(owner); };
    services.openFolder = [](const std::string& folder) { return OpenInFileManager(folder); };
    services.dialogs = &dialogs_;
    MainWindow window(services);
    if (scanFile.empty())
        window.SetStartFolder(startFolder);
    else
        window.SetStartScanFile(scanFile);
    window.Create();
    window.show();
    Setup(paths_).WriteUninstallEntry();
    RunWindowLoop(window);
}
