// Benchmark of a comparison in the window (offscreen unless a platform is set).
//   brimwell_gui_compare_bench --open NEW OLD
//     Opens scan file NEW, then scan file OLD, each into a root, and prints one line: seconds
//     until both are read, the longest gap between two ticks of a 10 ms timer on the
//     user-interface thread, and the peak RSS in KiB.
//   brimwell_gui_compare_bench --compare NEW OLD
//     Opens NEW into a root, compares it with OLD (File "Compare With Scan File...", with
//     "Sort By Change" on) and prints the same line for the time until the comparison is
//     shown and sorted, then the same apart for reading NEW and for comparing, then the bytes the
//     comparison keeps per item of the root (beside the tree, and the summary of OLD), then the
//     longest gaps while the comparison is left and while it is shown again.
//   brimwell_gui_compare_bench --show NEW OLD
//     The same comparison, sorted by change, with the tree expanded and the root selected,
//     left on screen for twenty seconds; with a PNG file as a fourth argument, the window is
//     written there after one second and the program ends.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/MainWindow.h"
#include "app/ResourceTables.h"
#include "ui/ContentArea.h"

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

// Runs the event loop until done() answers true (looked at every millisecond); returns the
// seconds it took and the longest gap between ticks of a 10 ms timer meanwhile.
std::pair<double, qint64> RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock, tick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        longest = std::max(longest, tick.restart());
        if (done())
            QApplication::quit();
    });
    clock.start();
    tick.start();
    ticker.start();
    QApplication::exec();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e9, std::max(longest, tick.elapsed())};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 4 ? argv[1] : "";
    const std::string shot = argc == 5 && mode == "--show" ? argv[4] : "";
    if (mode != "--open" && mode != "--compare" && mode != "--show") {
        std::fprintf(stderr, "usage: brimwell_gui_compare_bench --open|--compare|--show NEW OLD\n");
        return 2;
    }
    const std::string now = argv[2], before = argv[3];
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    WindowServices services;
    services.chooseScanFiles = [&before](QWidget*) { return std::vector<std::string>{before}; };
    MainWindow window(services);
    window.Create();
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();

    auto complete = [&window](const std::string& file) {
        return window.StatusText() == QString::fromStdString("Scanning " + file + " Complete");
    };
    ItemStore& store = window.Tree().Store();
    if (mode == "--open") {
        window.Tree().OpenScanFile(now);
        bool first = false;
        auto [seconds, gap] = RunUntil([&] {
            if (!first && complete(now)) {
                first = true;
                window.Tree().OpenScanFile(before);
            }
            return first && complete(before);
        });
        std::printf("%.3f %lld %ld\n", seconds, static_cast<long long>(gap), StatusKiB("VmHWM"));
        return 0;
    }
    ComparisonView& comparison = *window.Comparison();
    window.ExecuteCommand(Command::SortByChange);
    // Reading NEW, then the comparison, timed apart: the gaps of reading a scan file are not
    // the comparison's.
    window.Tree().OpenScanFile(now);
    auto [openSeconds, openGap] = RunUntil([&] { return complete(now); });
    store.Select(store.GetChild(TreeItem::None));
    window.ExecuteCommand(Command::CompareWithScanFile);
    auto [compareSeconds, compareGap] =
        RunUntil([&] { return comparison.Shown() && !comparison.Ordering(); });
    const double seconds = openSeconds + compareSeconds;
    const qint64 gap = std::max(openGap, compareGap);
    if (mode == "--show") {
        window.resize(1240, 640);
        window.Content()->SetSplitterPos(560);
        window.Tree().View().expandAll();
        store.Select(store.GetChild(TreeItem::None));
        QTimer::singleShot(shot.empty() ? 20000 : 1000, &app, [&] {
            if (!shot.empty())
                window.grab().save(QString::fromStdString(shot));
            QApplication::quit();
        });
        return QApplication::exec();
    }
    std::printf("%.3f %lld %ld\n", seconds, static_cast<long long>(gap), StatusKiB("VmHWM"));
    std::printf(
        "reading NEW: %.3f s, longest gap %lld ms; comparing: %.3f s, longest gap %lld ms\n",
        openSeconds, static_cast<long long>(openGap), compareSeconds,
        static_cast<long long>(compareGap));
    const double items = static_cast<double>(store.ItemCount());
    std::printf("per item: %.1f bytes beside the tree, %.1f bytes of summary, %zu items\n",
                static_cast<double>(comparison.HeldBytes()) / items,
                static_cast<double>(comparison.SummaryBytes()) / items, store.ItemCount());
    window.ExecuteCommand(Command::CompareWithScanFile);  // leave it
    auto [offSeconds, offGap] = RunUntil([&] { return !comparison.Ordering(); });
    window.ExecuteCommand(Command::CompareWithScanFile);  // and show it again
    auto [onSeconds, onGap] =
        RunUntil([&] { return comparison.Shown() && !comparison.Ordering(); });
    std::printf("off: %.3f s, longest gap %lld ms; on again: %.3f s, longest gap %lld ms\n",
                offSeconds, static_cast<long long>(offGap), onSeconds,
                static_cast<long long>(onGap));
    return 0;
}
