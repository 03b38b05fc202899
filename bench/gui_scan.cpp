// Benchmark of the window (offscreen unless a platform is set) on one folder.
//   brimwell_gui_bench [--verify | --select | --relabel] FOLDER
//     Scans FOLDER and prints one line: seconds to the closing status text, the longest gap
//     between two ticks of a 10 ms timer on the user-interface thread during the scan,
//     items, peak RSS in KiB, KiB per item above the RSS before the scan, and the processor
//     time the user-interface thread used, in ms. --verify then scans FOLDER again without a
//     window and says whether both trees are the same. --select selects the root as soon as
//     it shows, so that the detail panel shows it while its children come in. --relabel
//     then expands every item and switches the unit (Ctrl+T), and prints a second line: the
//     longest gap from the switch until the window has shown it, and the rows shown.
//   brimwell_gui_bench --exit-after MS FOLDER
//     Starts the scan of FOLDER, chooses Exit after MS ms and ends as the program does.
//     Prints the CLOCK_MONOTONIC time of the Exit in ns, so that a script can tell how long
//     the process took to end, and the scan threads still running once the window closed.
//   brimwell_gui_bench --exit-idle MS CONFIG
//   brimwell_gui_bench --exit-scanned MS CONFIG FOLDER
//     As the program runs for a user: its settings below CONFIG (a fresh folder is a first
//     run, so closing has the whole placement to save), the machine's registry out of reach.
//     Chooses Exit MS ms after the window shows, or MS ms after the scan of FOLDER
//     completed, and prints the same two numbers.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "GuiTestSupport.h"
#include "app/MainWindow.h"
#include "app/ResourceTables.h"
#include "setup/SettingsStore.h"

namespace {

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

// Processor time the calling thread has used, in milliseconds.
double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
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

// Chooses Exit in `milliseconds` and prints when, and the scans left running.
void ExitIn(MainWindow& window, int milliseconds) {
    QTimer::singleShot(milliseconds, &window, [&window] {
        const long long chosen = MonotonicNs();
        window.ExecuteCommand(Command::Exit);
        std::printf("%lld %zu\n", chosen, window.Tree().RunningScans());
        std::fflush(stdout);
    });
}

int ExitAfter(MainWindow& window, const std::string& folder, int milliseconds) {
    window.SetStartFolder(folder);
    window.Tree().StartScan();
    ExitIn(window, milliseconds);
    RunWindowLoop(window);
}

// The window of a user's run, with its settings below config; Exit `milliseconds` after it
// shows, or after the scan of folder has completed.
int ExitWithSettings(const std::string& config, const std::string& folder, int milliseconds) {
    const std::filesystem::path home = config;
    // The machine root lies below a file, so it cannot be written, as for a user.
    const std::filesystem::path notAFolder = home / "not-a-folder";
    std::ofstream(notAFolder).put('\n');
    PlatformPaths paths{home / ".config",          home / "applications",  home / "autostart",
                        home / "all-applications", notAFolder / "machine", home / "brimwell"};
    SettingsStore store(paths);
    UserPreferences preferences(store);
    WindowServices services;
    services.settings = &preferences;
    MainWindow window(services);
    window.Create();
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    if (folder.empty()) {
        ExitIn(window, milliseconds);
    } else {
        const QString complete = QString::fromStdString("Scanning " + folder + " Complete");
        QObject::connect(&window.Tree(), &FolderTreeView::StatusText, &window,
                         [&window, complete, milliseconds](const QString& text) {
                             if (text == complete)
                                 ExitIn(window, milliseconds);
                         });
        window.SetStartFolder(folder);
        window.Tree().StartScan();
    }
    RunWindowLoop(window);
}

// Expands every item, switches the unit and measures the longest gap until the switch
// has been shown; prints it and the rows shown.
void MeasureRelabel(MainWindow& window, GapMeter& gaps) {
    QTreeView& view = window.Tree().View();
    view.expandAll();
    QApplication::processEvents();
    int rows = 0;
    for (QModelIndex row = view.model()->index(0, 0); row.isValid(); row = view.indexBelow(row))
        ++rows;
    gaps.Start();
    QElapsedTimer clock;
    clock.start();
    window.ExecuteCommand(Command::ShowInMeg);
    const qint64 command = clock.elapsed();
    QTimer::singleShot(500, &window, [] { QApplication::quit(); });
    QApplication::exec();
    std::printf("relabel: longest gap %lld ms, command %lld ms, %d rows shown\n",
                static_cast<long long>(gaps.Stop()), static_cast<long long>(command), rows);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    const bool valid =
        (argc == 2) ||
        (argc == 3 && (mode == "--verify" || mode == "--select" || mode == "--relabel")) ||
        (argc == 4 && (mode == "--exit-after" || mode == "--exit-idle")) ||
        (argc == 5 && mode == "--exit-scanned");
    if (!valid) {
        std::fprintf(stderr,
                     "usage: brimwell_gui_bench [--verify | --select | --relabel] FOLDER\n"
                     "       brimwell_gui_bench --exit-after MS FOLDER\n"
                     "       brimwell_gui_bench --exit-idle MS CONFIG\n"
                     "       brimwell_gui_bench --exit-scanned MS CONFIG FOLDER\n");
        return 2;
    }
    std::string folder = argv[argc - 1];
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (mode == "--exit-idle")
        return ExitWithSettings(argv[3], "", std::atoi(argv[2]));
    if (mode == "--exit-scanned")
        return ExitWithSettings(argv[3], folder, std::atoi(argv[2]));

    MainWindow window(WindowServices{});
    window.Create();
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    if (mode == "--exit-after")
        return ExitAfter(window, folder, std::atoi(argv[2]));

    GapMeter gaps;
    long rssBefore = StatusKiB("VmRSS");
    const double cpuBefore = ThreadCpuMs();
    QString complete = QString::fromStdString("Scanning " + folder + " Complete");
    QElapsedTimer clock;
    double seconds = 0;
    qint64 longestGap = 0;
    QObject::connect(&window.Tree(), &FolderTreeView::StatusText, &app, [&](const QString& text) {
        if (text == complete) {
            seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            longestGap = gaps.Stop();
            QTimer::singleShot(0, &app, &QApplication::quit);
        }
    });
    if (mode == "--select") {
        QObject::connect(&window.Tree().Model(), &QAbstractItemModel::rowsInserted, &app,
                         [&](const QModelIndex& parent) {
                             ItemStore& store = window.Tree().Store();
                             if (!parent.isValid() && store.Selection() == TreeItem::None)
                                 store.Select(store.GetChild(TreeItem::None));
                         });
    }
    gaps.Start();
    clock.start();
    window.SetStartFolder(folder);
    window.Tree().StartScan();
    QApplication::exec();

    std::size_t items = window.Tree().Store().ItemCount();
    long peak = StatusKiB("VmHWM");
    std::printf("%.3f %lld %zu %ld %.3f %.0f\n", seconds, static_cast<long long>(longestGap), items,
                peak,
                items ? static_cast<double>(peak - rssBefore) / static_cast<double>(items) : 0.0,
                ThreadCpuMs() - cpuBefore);
    if (mode == "--relabel")
        MeasureRelabel(window, gaps);
    if (mode == "--verify") {
        bool same = test::Dump(window.Tree().Store()) == test::ReferenceScan(folder);
        std::printf("%s\n", same ? "same tree as a scan without a window" : "TREES DIFFER");
        return same ? 0 : 1;
    }
    return 0;
}
