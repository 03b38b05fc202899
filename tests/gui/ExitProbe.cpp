// Not a test by itself: a window whose scan blocks in its first folder listing for good, as
// on a hung network mount, and that is then closed with Exit (or sent SIGTERM) through the
// program's own event loop. MainWindowTest runs it and checks that the process ends, with
// its settings saved, although the scan thread never returns.
//   brimwell_exit_probe HOME FOLDER [term]
// Settings go below HOME; prints "blocked" once the scan is held, just before Exit.
#include <QApplication>
#include <QTimer>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/MainWindow.h"
#include "app/ResourceTables.h"
#include "setup/SettingsStore.h"

namespace {

// Lists nothing, ever: the first listing waits for a release that never comes.
class HungSource : public FolderSource {
  public:
    explicit HungSource(std::atomic<bool>& held) : held_(held) {}
    void EnterRoot(const std::string&) override {}
    void Enter(std::string_view) override {}
    void Leave() override {}
    bool List(FolderListing&) override {
        std::mutex mutex;
        std::condition_variable never;
        std::unique_lock lock(mutex);
        held_ = true;
        never.wait(lock, [] { return false; });
        return false;
    }

  private:
    std::atomic<bool>& held_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: brimwell_exit_probe HOME FOLDER [term]\n");
        return 2;
    }
    const std::filesystem::path home = argv[1];
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    PlatformPaths paths{home / ".config",          home / "applications", home / "autostart",
                        home / "all-applications", home / "machine",      home / "brimwell"};
    SettingsStore store(paths);
    UserPreferences preferences(store);
    WindowServices services;
    services.settings = &preferences;
    MainWindow window(services);
    std::atomic<bool> held{false};
    window.Create();
    window.Tree().SetSourceFactory([&held] { return std::make_unique<HungSource>(held); });
    window.SetStartFolder(argv[2]);
    window.ExecuteCommand(Command::Refresh);
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (!held)
            return;
        poll.stop();
        std::printf("blocked\n");
        if (argc == 4 && std::strcmp(argv[3], "term") == 0)
            std::raise(SIGTERM);
        else
            window.ExecuteCommand(Command::Exit);
    });
    poll.start(10);
    RunWindowLoop(window);
}
