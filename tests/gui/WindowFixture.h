// Helpers for the main-window tests: settings in memory, dialogs the test answers, a window
// with its services answered by the test, and ways to look into menus and modal dialogs
// that run their own event loop.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPrinter>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "app/MainWindow.h"
#include "app/ResourceTables.h"
#include "desktop/Dialogs.h"

namespace test {

// Settings in memory, with a log of the writes in their order.
class MemorySettings : public WindowSettings {
  public:
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;

    int ReadInt(const std::string& key, int fallback) override {
        auto found = values.find(key);
        return found == values.end() ? fallback : std::stoi(found->second);
    }
    std::string ReadString(const std::string& key) override {
        auto found = values.find(key);
        return found == values.end() ? "" : found->second;
    }
    void WriteInt(const std::string& key, int value) override {
        values[key] = std::to_string(value);
        writes.push_back(key + "=" + std::to_string(value));
    }
};

// Dialogs answered by the test; every call is logged.
struct AnsweredDialogs : Dialogs {
    std::vector<std::string> log;
    std::function<void()> whenAsked;  // called as the save dialog is shown
    std::optional<QString> savePath;  // nothing: the save dialog is cancelled
    // Sets up the printer as the user would; null: the print dialog is cancelled.
    std::function<void(QPrinter&)> choosePrinter;

    bool AskYesNo(const std::string& caption, const std::string& text) override {
        log.push_back("ask " + caption + ": " + text);
        return false;
    }
    void ShowMessage(const std::string& caption, const std::string& text, Icon) override {
        log.push_back("message " + caption + ": " + text);
    }
    std::optional<QString> ChooseSaveFile(QWidget*, const SaveFileRequest&) override {
        log.push_back("save");
        if (whenAsked)
            whenAsked();
        return savePath;
    }
    bool ChoosePrinter(QWidget*, QPrinter& printer) override {
        log.push_back("print");
        if (!choosePrinter)
            return false;
        choosePrinter(printer);
        return true;
    }
};

// A window with its services answered by the test.
struct Fixture {
    MemorySettings settings;
    RootList roots;
    AnsweredDialogs dialogs;
    std::optional<std::string> chosenFolder;
    int chooserCalls = 0;
    std::vector<std::string> chosenScanFiles;
    std::vector<std::string> explored;
    bool fileManager = true;  // whether the desktop has one to open folders with
    std::map<std::string, std::string> mountNames;  // the Desktop menu's, by mount point
    std::unique_ptr<MainWindow> window;

    // The window on startFolder, or with scanFile read into it when that is given.
    MainWindow& Open(const std::string& startFolder = "", bool withSettings = true,
                     const std::string& scanFile = "") {
        WindowServices services;
        services.settings = withSettings ? &settings : nullptr;
        services.roots = &roots;
        services.chooseFolder = [this](QWidget*) {
            ++chooserCalls;
            return chosenFolder;
        };
        services.chooseScanFiles = [this](QWidget*) { return chosenScanFiles; };
        services.openFolder = [this](const std::string& folder) {
            explored.push_back(folder);
            return fileManager;
        };
        services.mountNames = [this] { return mountNames; };
        services.dialogs = &dialogs;
        window = std::make_unique<MainWindow>(services);
        if (scanFile.empty())
            window->SetStartFolder(startFolder);
        else
            window->SetStartScanFile(scanFile);
        window->Create();
        return *window;
    }
    ItemStore& Store() { return window->Tree().Store(); }
    QString Complete(const std::string& folder) {
        return QString::fromStdString("Scanning " + folder + " Complete");
    }
    // Shows the window; whether it was exposed.
    bool Show() {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    // Whether the status bar says the scan of folder is complete within the time.
    bool Scanned(const std::string& folder, int milliseconds = 30000) {
        return QTest::qWaitFor([&] { return window->StatusText() == Complete(folder); },
                               milliseconds);
    }
};

// Runs trigger, which opens a popup menu or a modal dialog with its own event loop, and
// calls look on that popup or dialog as soon as it shows. look closes it (or chooses in it);
// when a check in look fails, it is closed here, so that trigger returns. Returns whether
// one showed.
inline bool WithPopup(const std::function<void()>& trigger,
                      const std::function<void(QWidget&)>& look) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup)
            popup = QApplication::activeModalWidget();
        if (!popup || !popup->isVisible())
            return;
        poll.stop();
        seen = true;
        QPointer<QWidget> shown = popup;
        look(*popup);
        if (shown && shown->isVisible())
            shown->close();
    });
    poll.start();
    trigger();
    return seen;
}

}  // namespace test
