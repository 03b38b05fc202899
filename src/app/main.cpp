// brimwell: the folder-size viewer's entry point. Takes the command line, runs start-up and
// the main window.
#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <string>
#include <vector>

#include "app/ProgramInfo.h"
#include "app/SystemStartup.h"
#include "fs/FileSystem.h"
#include "ui/QtDialogs.h"

namespace {

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 256})
        icon.addFile(QStringLiteral(":/icons/brimwell-%1.png").arg(size));
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    // The command line belongs to start-up alone: Qt is given none of it.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (auto text = InformationRequested(CommandLineText(arguments))) {
        std::fputs(text->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    ReserveDescriptorTable();  // before Qt or a scan starts a thread
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Brimwell"));
    QApplication::setApplicationVersion(QStringLiteral(BRIMWELL_VERSION));
    // The installed menu entry: desktops show its name and icon for the window.
    QApplication::setDesktopFileName(QStringLiteral("brimwell"));
    QApplication::setWindowIcon(ProgramIcon());
    QtDialogs dialogs;
    SystemStartup startup(PlatformPaths::Defaults(), dialogs);
    return RunStartup(CommandLineText(arguments), startup, RootList::Instance());
}
