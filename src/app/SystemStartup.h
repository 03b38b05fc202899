// Start-up's requests carried out for real: the setup library for the folder command,
// install and uninstall, the platform for folders, and the main window with its settings.
#pragma once

#include "app/Startup.h"
#include "desktop/Dialogs.h"
#include "desktop/PlatformPaths.h"

class SystemStartup : public StartupActions {
  public:
    // dialogs asks the uninstall question, shows the setup library's messages and the
    // window's save, print and error dialogs; it must outlive this object. A QApplication must
    // exist before RunWindow.
    SystemStartup(PlatformPaths paths, Dialogs& dialogs);

    void RefreshFolderCommand(bool registerCommand) override;
    void Install() override;
    bool ConfirmUninstall() override;
    void Uninstall() override;
    std::string LongPath(const std::string& path) override;
    DefaultFolders DefaultStartingFolders() override;
    int RunWindow(const std::string& startFolder, const std::string& scanFile) override;

  private:
    PlatformPaths paths_;
    Dialogs& dialogs_;
};
