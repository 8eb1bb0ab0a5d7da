// Playback at pace: 300 JPEG rows of 1280 x 720 played in the real window as
// a 640 x 480 movie, stretched, at 30 fps; prints how many positions were
// skipped (target: at most 1 %) and how late the others came (target: under
// one frame interval on average). Then the bounds of a 100,000-row list: the
// frames playback holds ahead, and the schedule.
//
//   QT_QPA_PLATFORM=offscreen ./playback_bench [rows]

#include "dialogs/UserDialogs.h"
#include "movie/Playback.h"
#include "project/Project.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

// Ten distinct photos-like pictures, each row its own file (a link).
QList<QByteArray> MakeRows(const QTemporaryDir& dir, int rows) {
    QList<QByteArray> made;
    for (int i = 0; i < 10; ++i) {
        QImage image(1280, 720, QImage::Format_RGB32);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x)
                image.setPixel(x, y, qRgb((x + i * 25) & 255, (y * 3) & 255, (x ^ y) & 255));
        const QString path = dir.filePath(QStringLiteral("src%1.jpg").arg(i));
        image.save(path, "JPEG", 85);
        made << QFile::encodeName(path);
    }
    QList<QByteArray> paths;
    for (int r = 0; r < rows; ++r) {
        const QString link = dir.filePath(QStringLiteral("row%1.jpg").arg(r));
        QFile::link(QFile::decodeName(made[r % 10]), link);
        paths << QFile::encodeName(link);
    }
    return paths;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 300;
    QTemporaryDir dir;
    CancellingDialogs dialogs;
    Project project;
    MainWindow window(&project, &dialogs);
    window.resize(1000, 600);
    window.show();
    project.frameList()->resetRows(MakeRows(dir, rows));
    ProjectSettings settings = project.settings();
    settings.fps = 30;
    settings.width = 640;
    settings.height = 480;
    settings.scaleImages = true;
    project.changeSettings(settings);
    project.goToRow(0);

    Playback* playback = window.playback();
    QEventLoop loop;
    QObject::connect(playback, &Playback::stopped, &loop, &QEventLoop::quit);
    size_t held = 0;
    QObject::connect(playback, &Playback::frameShown,
                     [&] { held = std::max(held, playback->frames()->framesHeld()); });
    window.playOrPause();
    const size_t bound = playback->frames()->frameBound();
    loop.exec();
    const Playback::Figures& f = playback->figures();
    const long positions = f.shown + f.skipped;
    std::printf("playback_bench: %d JPEG rows 1280x720 -> 640x480 stretched, 30 fps\n", rows);
    std::printf("positions %ld, shown %ld, skipped %ld (%.2f %%)\n", positions, f.shown, f.skipped,
                100.0 * double(f.skipped) / double(std::max(positions, 1L)));
    std::printf("lateness: mean %.2f ms, longest %.2f ms (one interval: %.2f ms)\n",
                f.lateMsTotal / double(std::max(f.shown, 1L)), f.lateMsLongest, 1000.0 / 30);
    std::printf("frames held at most %zu of a bound of %zu (%.1f MiB)\n", held, bound,
                double(bound) * 640 * 480 * 4 / 1048576.0);

    // A 100,000-row list: the schedule and the frames ahead stay bounded.
    QList<QByteArray> many(100000);
    for (int r = 0; r < many.size(); r += 2)
        many[r] = "/missing/" + QByteArray::number(r) + ".jpg"; // white frames, drawn fast
    PlaybackSchedule schedule(many, settings);
    PlaybackFrames frames(schedule, 640, 480, DrawMode::Stretch, {});
    size_t most = 0;
    for (long p = 0; p < schedule.positionCount(); p += 997) {
        frames.waitForFrame(p);
        most = std::max(most, frames.framesHeld());
    }
    std::printf("100,000 rows: %zu positions, %zu schedule lines, frames held at most %zu "
                "(bound %zu)\n",
                size_t(schedule.positionCount()), schedule.lines().size(), most,
                frames.frameBound());
    return 0;
}
