// brimwell: the folder-size viewer's entry point. Takes the command line, runs start-up and
// the main window.
#include <QApplication>
#include <QIcon>

#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "platform/DesktopFolders.h"
#include "platform/PathForm.h"

namespace {

// Start-up's requests, carried out by the platform and the window.
class SystemStartup : public StartupActions {
  public:
    explicit SystemStartup(QApplication& app) : app_(app) {}

    void RefreshFolderCommand(bool /*registerCommand*/) override {}
    void Install() override {}
    bool ConfirmUninstall() override { return false; }
    void Uninstall() override {}
    std::string LongPath(const std::string& path) override { return LongPathForm(path); }
    DefaultFolders DefaultStartingFolders() override { return ReadDefaultFolders(); }

    int RunWindow(const std::string& startFolder) override {
        WindowServices services;
        services.chooseFolder = [](QWidget* owner) { return ChooseFolder(owner); };
        services.openFolder = [](const std::string& folder) { OpenInFileManager(folder); };
        MainWindow window(services);
        window.SetStartFolder(startFolder);
        window.Create();
        window.show();
        return app_.exec();
    }

  private:
    QApplication& app_;
};

}  // namespace

int main(int argc, char** argv) {
    // The command line belongs to start-up alone: Qt is given none of it.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    Q_INIT_RESOURCE(brimwell);
    QApplication::setApplicationName(QStringLiteral("Brimwell"));
    QApplication::setApplicationVersion(QStringLiteral(BRIMWELL_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/brimwell.png")));
    SystemStartup startup(app);
    return RunStartup(CommandLineText(arguments), startup, RootList::Instance());
}
