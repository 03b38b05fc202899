// Benchmark of the window's commands for freeing space (offscreen unless a platform is set).
//   brimwell_free_space_bench --trash ROOT FOLDER TRASH_DATA_HOME
//     Scans ROOT, selects FOLDER, answers the question of Move to Trash with yes and prints:
//     ms the command took once the question was answered (the window answers again), the
//     longest gap between two ticks of a 10 ms timer from the answer until the tree showed
//     the move, ms until then, and whether the figures then equal a fresh scan of ROOT.
//   brimwell_free_space_bench --refresh ROOT FOLDER REPORT [ROUNDS]
//     Scans ROOT, then ROUNDS times (default 10) chooses Refresh Selected on FOLDER and runs
//     the program REPORT (brimwell-report) on FOLDER alone, one after the other; prints the
//     median, least and most seconds of each, the ratio of the medians, the longest timer
//     gap during the refreshes, and whether the figures then equal a fresh scan of ROOT.
//   brimwell_free_space_bench --largest FOLDER
//     Scans FOLDER, chooses Largest Files and prints: seconds until the list shows, the
//     longest timer gap meanwhile, KiB of resident memory added while the list was found
//     (VmRSS after minus before) and the files listed.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "app/MainWindow.h"
#include "app/ResourceTables.h"
#include "desktop/Dialogs.h"
#include "ui/LargestFilesWindow.h"

namespace {

long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

// The longest time between two ticks of a 10 ms timer while it runs.
class GapMeter {
  public:
    GapMeter() {
        ticker_.setTimerType(Qt::PreciseTimer);
        ticker_.setInterval(10);
        QObject::connect(&ticker_, &QTimer::timeout, &ticker_,
                         [this] { longest_ = std::max(longest_, tick_.restart()); });
    }
    void Start() {
        longest_ = 0;
        tick_.start();
        ticker_.start();
    }
    qint64 Stop() {
        ticker_.stop();
        return std::max(longest_, tick_.elapsed());
    }

  private:
    QTimer ticker_;
    QElapsedTimer tick_;
    qint64 longest_ = 0;
};

// Answers every question with yes, and notes when it was answered.
struct YesDialogs : Dialogs {
    QElapsedTimer* answered = nullptr;
    GapMeter* gaps = nullptr;
    bool AskYesNo(const std::string&, const std::string&) override {
        answered->start();
        gaps->Start();
        return true;
    }
    void ShowMessage(const std::string&, const std::string&, Icon) override {}
    std::optional<QString> ChooseSaveFile(QWidget*, const SaveFileRequest&) override { return {}; }
    bool ChoosePrinter(QWidget*, QPrinter&) override { return false; }
};

// Every item with a record: path and both measures of figures.
std::set<std::string> Figures(const ItemStore& store) {
    std::set<std::string> lines;
    std::vector<const ItemNode*> pending{&store.Top()};
    while (!pending.empty()) {
        const ItemNode* node = pending.back();
        pending.pop_back();
        for (const ItemNode& child : node->Children()) {
            pending.push_back(&child);
            if (std::optional<FolderRecord> r = child.Record()) {
                lines.insert(r->path + "|" + r->name + "|" + std::to_string(r->totalBytes) + "|" +
                             std::to_string(r->diskBytes) + "|" + std::to_string(r->fileCount) +
                             "|" + std::to_string(r->folderCount));
            }
        }
    }
    return lines;
}

const char* SameAsFreshScan(const ItemStore& store, const std::string& root) {
    ItemStore fresh;
    DirectoryReader reader;
    ScanContext context{reader};
    FolderTree::ScanRoot(fresh, root, context);
    return Figures(store) == Figures(fresh) ? "same figures as a fresh scan"
                                            : "FIGURES DIFFER FROM A FRESH SCAN";
}

TreeItem ItemNamed(ItemStore& store, const std::string& path) {
    std::vector<TreeItem> pending{TreeItem::None};
    while (!pending.empty()) {
        TreeItem item = pending.back();
        pending.pop_back();
        for (TreeItem c = store.GetChild(item); c != TreeItem::None; c = store.GetNextItem(c)) {
            std::optional<FolderRecord> r = store.GetItemData(c);
            if (r && !r->isFilesEntry && r->path == path)
                return c;
            pending.push_back(c);
        }
    }
    return TreeItem::None;
}

// Runs an event loop until done answers true; ends the program when that takes more than
// ten minutes (WAIT_MS). A loop of its own: QApplication::quit would close the window.
void Wait(const std::function<bool()>& done, const MainWindow& window) {
    const char* limit = std::getenv("WAIT_MS");
    const qint64 most = limit ? std::atol(limit) : 600000;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
        if (waited.elapsed() > most) {
            std::fprintf(stderr, "gave up waiting; the status bar says: %s\n",
                         window.StatusText().toUtf8().constData());
            std::exit(1);
        }
    });
    poll.start();
    loop.exec();
}

// Runs program with one argument, its output thrown away, without a shell in between (as
// hyperfine -N does); whether it ended with 0.
bool RunQuietly(const std::string& program, const std::string& argument) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* args[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                    nullptr};
    pid_t pid;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void ScanFirst(MainWindow& window, const std::string& root) {
    const QString complete = QString::fromStdString("Scanning " + root + " Complete");
    window.SetStartFolder(root);
    window.Tree().StartScan();
    Wait([&] { return window.StatusText() == complete; }, window);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (!((mode == "--trash" && argc == 5) || (mode == "--refresh" && (argc == 5 || argc == 6)) ||
          (mode == "--largest" && argc == 3))) {
        std::fprintf(stderr,
                     "usage: brimwell_free_space_bench --trash ROOT FOLDER TRASH_DATA_HOME\n"
                     "       brimwell_free_space_bench --refresh ROOT FOLDER REPORT [ROUNDS]\n"
                     "       brimwell_free_space_bench --largest FOLDER\n");
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QElapsedTimer answered;
    GapMeter gaps;
    YesDialogs dialogs;
    dialogs.answered = &answered;
    dialogs.gaps = &gaps;
    WindowServices services;
    services.dialogs = &dialogs;
    if (mode == "--trash")
        services.moveToTrash = TrashMoves::Freedesktop(std::filesystem::path(argv[4]));
    MainWindow window(services);
    window.Create();
    window.resize(1000, 700);
    window.show();
    const std::string root = argv[2];
    ScanFirst(window, root);
    ItemStore& store = window.Tree().Store();

    if (mode == "--trash") {
        const std::string folder = argv[3];
        store.Select(ItemNamed(store, folder));
        window.ExecuteCommand(Command::MoveToTrash);
        const qint64 command = answered.elapsed();
        Wait([&] { return window.PendingTrashMoves() == 0; }, window);
        const qint64 shown = answered.elapsed();
        const qint64 gap = gaps.Stop();
        const std::string status = window.StatusText().toStdString();
        std::printf("command %lld ms, longest gap %lld ms, tree updated after %lld ms, %s; %s\n",
                    static_cast<long long>(command), static_cast<long long>(gap),
                    static_cast<long long>(shown), status.c_str(), SameAsFreshScan(store, root));
    } else if (mode == "--refresh") {
        // Each round: Refresh Selected in the window, then brimwell-report on the folder
        // alone, one after the other, so that both meet the same load.
        const std::string folder = argv[3];
        const std::string report = argv[4];
        const int rounds = argc > 5 ? std::atoi(argv[5]) : 10;
        const TreeItem item = ItemNamed(store, folder);
        const QString complete = QString::fromStdString("Scanning " + folder + " Complete");
        std::vector<double> window_s, report_s;
        qint64 longestGap = 0;
        for (int round = 0; round < rounds; ++round) {
            store.Select(item);
            window.SetStatusText(QString());
            QElapsedTimer clock;
            gaps.Start();
            clock.start();
            window.ExecuteCommand(Command::RefreshSelected);
            Wait([&] { return window.StatusText() == complete; }, window);
            window_s.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
            longestGap = std::max(longestGap, gaps.Stop());
            clock.start();
            if (!RunQuietly(report, folder))
                return 1;
            report_s.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        }
        auto median = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        std::printf(
            "Refresh Selected: median %.3f s (min %.3f, max %.3f); brimwell-report on the "
            "folder: median %.3f s (min %.3f, max %.3f); ratio of medians %.2f; longest "
            "gap %lld ms; %s\n",
            median(window_s), *std::min_element(window_s.begin(), window_s.end()),
            *std::max_element(window_s.begin(), window_s.end()), median(report_s),
            *std::min_element(report_s.begin(), report_s.end()),
            *std::max_element(report_s.begin(), report_s.end()),
            median(window_s) / median(report_s), static_cast<long long>(longestGap),
            SameAsFreshScan(store, root));
    } else {
        store.Select(store.GetChild(TreeItem::None));
        const long before = StatusKiB("VmRSS");
        QElapsedTimer clock;
        gaps.Start();
        clock.start();
        window.ExecuteCommand(Command::LargestFiles);
        const double opened = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        Wait([&] { return window.LargestFiles() && !window.LargestFiles()->Searching(); }, window);
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        const long after = StatusKiB("VmRSS");
        const qint64 gap = gaps.Stop();
        std::printf(
            "largest files shown after %.3f s (the window itself took %.3f s), longest "
            "gap %lld ms, +%ld KiB resident, %zu listed\n",
            seconds, opened, static_cast<long long>(gap), after - before,
            window.LargestFiles()->Listed().size());
    }
    return 0;
}
