// Filling the Desktop menu from the list of starting folders.
#include "ui/DesktopMenu.h"

#include "fs/VolumeNames.h"
#include "ui/StandardIcons.h"

namespace {

// A menu reads "&" as the mark of a shortcut letter; a folder's name shows it as it is.
QString MenuText(const std::string& name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

DesktopMenu::DesktopMenu(const RootList& roots, int firstCommand, Dispatch dispatch,
                         MountNames mountNames, QWidget* parent)
    : QMenu(parent),
      roots_(roots),
      firstCommand_(firstCommand),
      dispatch_(std::move(dispatch)),
      mountNames_(mountNames ? std::move(mountNames) : MountNames(&ReadMountDisplayNames)) {
    connect(this, &QMenu::aboutToShow, this, &DesktopMenu::Rebuild);
}

void DesktopMenu::Rebuild() {
    clear();
    const QIcon icon = FolderIcon();
    const std::map<std::string, std::string> mountNames = mountNames_();
    const std::vector<std::string>& entries = roots_.Entries();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const int command = firstCommand_ + static_cast<int>(k);
        QAction* item = addAction(icon, MenuText(DisplayName(entries[k], mountNames)));
        item->setData(command);
        connect(item, &QAction::triggered, this, [this, command] { dispatch_(command); });
    }
}

std::string DesktopMenu::DisplayName(const std::string& path,
                                     const std::map<std::string, std::string>& mountNames) {
    if (auto mount = mountNames.find(path); mount != mountNames.end())
        return mount->second;
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return path.empty() ? std::string() : std::string("/");
    std::size_t start = path.rfind('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end + 1 - start);
}
