// Benchmark of the window's scan: opens the main window (offscreen unless a platform is set),
// scans FOLDER and reports the time until the closing status text, the longest gap between
// two ticks of a 10 ms timer on the user-interface thread during the scan, and the memory
// the scan's items take.
//   brimwell_gui_bench [--verify] FOLDER
// Prints one line: seconds, longest gap in ms, items, peak RSS in KiB, KiB per item above
// the RSS before the scan. --verify then scans FOLDER again without a window and says
// whether both trees are the same.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "GuiTestSupport.h"
#include "app/MainWindow.h"

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

}  // namespace

int main(int argc, char** argv) {
    bool verify = argc == 3 && std::string(argv[1]) == "--verify";
    if (argc != 2 && !verify) {
        std::fprintf(stderr, "usage: brimwell_gui_bench [--verify] FOLDER\n");
        return 2;
    }
    std::string folder = argv[argc - 1];
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    MainWindow window(WindowServices{});
    window.Create();
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();

    QElapsedTimer tick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &ticker,
                     [&] { longestGap = std::max(longestGap, tick.restart()); });

    long rssBefore = StatusKiB("VmRSS");
    QString complete = QString::fromStdString("Scanning " + folder + " Complete");
    QElapsedTimer clock;
    double seconds = 0;
    QObject::connect(&window.Tree(), &FolderTreeView::StatusText, &app, [&](const QString& text) {
        if (text == complete) {
            seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            ticker.stop();
            QTimer::singleShot(0, &app, &QApplication::quit);
        }
    });
    tick.start();
    ticker.start();
    clock.start();
    window.SetStartFolder(folder);
    window.Tree().StartScan();
    QApplication::exec();

    std::size_t items = window.Tree().Store().ItemCount();
    long peak = StatusKiB("VmHWM");
    std::printf("%.3f %lld %zu %ld %.3f\n", seconds, static_cast<long long>(longestGap), items,
                peak,
                items ? static_cast<double>(peak - rssBefore) / static_cast<double>(items) : 0.0);
    if (verify) {
        bool same = test::Dump(window.Tree().Store()) == test::ReferenceScan(folder);
        std::printf("%s\n", same ? "same tree as a scan without a window" : "TREES DIFFER");
        return same ? 0 : 1;
    }
    return 0;
}
