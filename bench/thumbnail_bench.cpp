// Thumbnails in a long list, in the real window: a 10,000-row project of
// JPEG and PNG pictures shows its first screen of thumbnails soon after the
// list appears (target: 300 ms), and scrolling through the whole list never
// holds the window's thread long (target: no step over 16 ms). Then a
// 100,000-row list scrolled through: the cache stays within its bound.
//
//   QT_QPA_PLATFORM=offscreen ./thumbnail_bench [rows]

#include "dialogs/UserDialogs.h"
#include "imaging/ThumbnailCache.h"
#include "project/Project.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Rows alternating JPEG and PNG, 800 x 600, twenty distinct pictures, each
// row its own file name (a link).
QList<QByteArray> MakeRows(const QTemporaryDir& dir, int rows) {
    QStringList made;
    for (int i = 0; i < 20; ++i) {
        QImage image(800, 600, QImage::Format_RGB32);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                image.setPixel(x, y, qRgb((x * i) & 255, (y + i * 9) & 255, (x + y) & 255));
        const QString path =
            dir.filePath(QStringLiteral("src%1.%2").arg(i).arg(i % 2 ? "png" : "jpg"));
        image.save(path);
        made << path;
    }
    QList<QByteArray> paths;
    for (int r = 0; r < rows; ++r) {
        const QString& target = made[r % 20];
        const QString link = dir.filePath(QStringLiteral("row%1.%2").arg(r).arg(target.right(3)));
        QFile::link(target, link);
        paths << QFile::encodeName(link);
    }
    return paths;
}

// The time this thread has run, in milliseconds: a step that took long on
// the clock but little here was waiting for a core, not working.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Whether every filled row on screen has its thumbnail.
bool ScreenDone(FrameListView* list) {
    const int first = list->rowAt(0), last = list->rowAt(list->viewport()->height() - 1);
    for (int r = first; r >= 0 && r <= (last < 0 ? list->model()->rowCount() - 1 : last); ++r)
        if (!list->thumbnails()->isKnown(list->project()->frameList()->path(r)))
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    const QList<QByteArray> paths = MakeRows(dir, rows);
    CancellingDialogs dialogs;
    Project project;
    project.frameList()->resetRows(paths);
    MainWindow window(&project, &dialogs);
    FrameListView* list = window.listView();
    window.resize(1000, 700);
    QElapsedTimer clock;
    clock.start();
    window.show();
    while (!ScreenDone(list))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    std::printf("thumbnail_bench: %d rows (JPEG and PNG, 800x600)\n", rows);
    std::printf("first screen of thumbnails: %.1f ms after show\n", clock.nsecsElapsed() / 1e6);

    // Scrolling: one page at a time, the way a held Page Down goes; each
    // step's handling (scroll, paint, thumbnails arriving) is a stall.
    QScrollBar* bar = list->verticalScrollBar();
    double longest = 0, longestCpu = 0, mostCpu = 0, total = 0;
    int steps = 0, over = 0;
    qsizetype mostBytes = 0;
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
        QElapsedTimer step;
        step.start();
        const double cpu = ThreadCpuMs();
        bar->setValue(value);
        QCoreApplication::processEvents();
        const double ms = step.nsecsElapsed() / 1e6, cpuMs = ThreadCpuMs() - cpu;
        if (ms > longest) {
            longest = ms;
            longestCpu = cpuMs;
        }
        mostCpu = std::max(mostCpu, cpuMs);
        over += ms > 16;
        total += ms;
        ++steps;
        mostBytes = std::max(mostBytes, list->thumbnails()->bytesHeld());
    }
    std::printf("scrolling %d pages: longest stall %.1f ms (%.1f ms of it running), mean %.2f ms, "
                "%d over 16 ms; most running in one step %.1f ms\n",
                steps, longest, longestCpu, total / std::max(steps, 1), over, mostCpu);
    std::printf("cache: at most %.1f MiB of a %.0f MiB bound, %lld asks waiting at the end\n",
                double(mostBytes) / 1048576.0, double(list->thumbnails()->byteBound()) / 1048576.0,
                qlonglong(list->thumbnails()->waiting()));

    // 100,000 rows, scrolled through quickly: the cache and the asks stay bounded.
    QList<QByteArray> many;
    for (int r = 0; r < 100000; ++r)
        many << paths[r % paths.size()];
    project.frameList()->resetRows(many);
    qsizetype waitingMost = 0;
    mostBytes = 0;
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep() * 7) {
        bar->setValue(value);
        QCoreApplication::processEvents();
        mostBytes = std::max(mostBytes, list->thumbnails()->bytesHeld());
        waitingMost = std::max(waitingMost, list->thumbnails()->waiting());
    }
    std::printf("100,000 rows: cache at most %.1f MiB (bound %.0f MiB), asks waiting at most %lld "
                "(bound %lld)\n",
                double(mostBytes) / 1048576.0, double(list->thumbnails()->byteBound()) / 1048576.0,
                qlonglong(waitingMost), qlonglong(ThumbnailCache::MaxWaiting));
    return 0;
}
