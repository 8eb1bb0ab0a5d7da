// Playback against the movie's own frames, the player's clock and sound, the
// window's thumbnails and playback commands, the preview following the project.

#include "project_tools.h"
#include "scripted_dialogs.h"

#include "imaging/MoviePalette.h"
#include "imaging/ThumbnailCache.h"
#include "movie/FrameDrawing.h"
#include "movie/IntermediateFrameFile.h"
#include "movie/MovieWriter.h"
#include "movie/Playback.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPane.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Red 12 x 6, blue 40 x 30 (a PNG: its plug-in hands over bottom-up rows),
// green 5 x 50: centring and stretching differ.
Paths Pictures(const QTemporaryDir& dir) {
    Paths paths;
    for (const auto& [name, size, colour] : {std::tuple{"0.bmp", QSize(12, 6), Qt::red},
                                             {"1.png", QSize(40, 30), Qt::blue},
                                             {"2.bmp", QSize(5, 50), Qt::darkGreen}}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        image.save(dir.filePath(name));
        paths << QFile::encodeName(dir.filePath(name));
    }
    return paths;
}

// A frame's pixels as 0xRRGGBB, read from its format as a player reads a
// movie's: palette entries, 5-bit channels widened by their top bits.
QList<uint> Colours(const PixelBuffer& frame) {
    QList<uint> colours;
    const auto wide = [](uint v, int at) { return (v >> at & 31) << 3 | (v >> at & 31) >> 2; };
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const uchar* p = frame.row(y);
            const uint v = p[2 * x] | p[2 * x + 1] << 8;
            colours << (frame.format() == PixelFormat::Indexed8 ? MoviePalette()[p[x]]
                        : frame.format() == PixelFormat::Rgb555
                            ? wide(v, 10) << 16 | wide(v, 5) << 8 | wide(v, 0)
                            : frame.xrgbRow(y)[x] & 0xffffffu);
        }
    return colours;
}

struct RecordedSound : PlaybackSound {
    QStringList calls;
    void play(const QByteArray& f, qint64 ms) override { calls << f + ' ' + QString::number(ms); }
    void pause() override { calls << "pause"; }
    void stop() override { calls << "stop"; }
};

struct Window {
    ScriptedDialogs dialogs;
    Project project;
    MainWindow window{&project, &dialogs};
    Playback* playback() const { return window.playback(); }
    void key(Qt::Key key) { QTest::keyClick(window.listView(), key, Qt::ControlModifier); }
};

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    Paths p;

private slots:
    void initTestCase() { p = Pictures(dir); }

    // The worked example (a - - b c - -), every option combination, each at a
    // depth: as many positions as the movie's frames, each showing its frame.
    void positions_data() {
        QTest::addColumn<int>("options"); // trim 1, no closing blank 2, scale 4, leading blanks 8
        QTest::addColumn<int>("depth");   // ColourDepth
        for (int i = 0; i < 16; ++i)
            QTest::addRow("options %d, depth %d", i, i % 3) << i << i % 3;
    }
    void positions() {
        QFETCH(int, options);
        QFETCH(int, depth);
        const bool trim = options & 1, noBlank = options & 2;
        const Paths rows = Paths(options & 8 ? 2 : 0) + Paths{p[0], {}, {}, p[1], p[2], {}, {}};
        ProjectSettings settings{.width = 32, .height = 24};
        std::tie(settings.depth, settings.noTrailingBlank, settings.scaleImages,
                 settings.trimAviSize) = std::tuple(ColourDepth(depth), noBlank, options & 4, trim);
        IntermediateFrameFile file;
        QVERIFY(file.create(QFile::encodeName(dir.path())));
        QVERIFY(file.writeLines(rows, trim, noBlank) > 0 && file.rewindForReading());
        FrameLineReader reader(file.file());
        QList<FrameLine> movie;
        while (reader.readLine())
            movie.append({reader.position(), reader.path()});
        const PlaybackSchedule schedule(rows, settings);
        QCOMPARE(schedule.positionCount(), movie.last().position + 1);
        const PixelFormat format =
            depth == 2 ? PixelFormat::Xrgb32 : *MovieFrameFormat(settings.depth);
        PlaybackFrames frames(schedule, 32, 24, FrameDrawMode(settings), {}, {}, 2,
                              PlaybackFrames::DefaultByteBound, format);
        PixelBuffer expected = *PixelBuffer::allocate(32, 24, format, RowOrder::TopDown);
        for (long position = 0, line = -1; position < schedule.positionCount(); ++position) {
            while (line + 1 < movie.size() && movie[line + 1].position <= position)
                ++line;
            DrawFrameLine(line < 0 ? QByteArray() : movie[line].path, FrameDrawMode(settings), {},
                          expected);
            const PixelBuffer* shown = frames.waitForFrame(position);
            QVERIFY2(shown && Colours(*shown) == Colours(expected),
                     qPrintable(QString::number(position)));
            QCOMPARE(schedule.rowAt(position), int(std::min<long>(position, rows.size() - 1)));
        }
        QVERIFY(frames.framesHeld() <= frames.frameBound());
    }

    // From row 3 the player shows the positions in order at the movie's pace;
    // the sound starts at that row's time, pauses and resumes with the
    // pictures; stop tells the last row shown; a loop starts over.
    void player() {
        const ProjectSettings settings{.fps = 20, .width = 16, .height = 12};
        const Paths rows{p[0], p[1], {}, p[2], p[0], {}, {}, p[1]};
        Playback playback;
        RecordedSound sound;
        playback.setSound(&sound);
        QList<long> shown;
        connect(&playback, &Playback::frameShown, this, [&](long position) { shown << position; });
        QSignalSpy stopped(&playback, &Playback::stopped);
        QElapsedTimer clock;
        clock.start();
        playback.start(rows, settings, 3, "/s.wav");
        QVERIFY(stopped.wait(5000));
        QVERIFY(clock.elapsed() >= 6 * 50 - 5 && clock.elapsed() < 6 * 50 + 300);
        // A busy machine may skip a late position, never show one out of order.
        QVERIFY(std::is_sorted(shown.begin(), shown.end()) && shown[0] >= 3 && shown.last() <= 8);
        QCOMPARE(stopped.takeFirst().at(0).toInt(), 7); // the closing blank frame is the last row's
        QCOMPARE(std::exchange(sound.calls, {}), (QStringList{"/s.wav 150", "stop"}));

        playback.start(rows, settings, 0, "/s.wav");
        QTRY_VERIFY(shown.size() >= 9);
        playback.pause();
        const long at = shown.last();
        QTest::qWait(120);
        QCOMPARE(shown.last(), at);
        playback.resume();
        QVERIFY(stopped.wait(5000));
        QCOMPARE(sound.calls.value(1), "pause"); // then on from the pictures' time
        QVERIFY(qAbs(sound.calls.value(2).section(' ', 1).toLongLong() - at * 50 - 50) <= 50);

        shown.clear();
        playback.setLoop(true);
        playback.start(rows, settings, 6);
        QTRY_VERIFY(shown.size() >= 5);
        playback.stop();
        QCOMPARE(shown.mid(0, 5), (QList<long>{6, 7, 8, 0, 1}));
    }

    // A narrow list shows each filled row's thumbnail (64 high, aspect kept)
    // and its file name, follows a change and its undo, and can do without.
    // Ctrl+Space plays from the focus row in a preview of at least half the
    // window, the frame fitted; the focus follows; an edit while paused shows;
    // Ctrl+. or settings that cannot make a movie stop on the last row shown.
    void window() {
        Window w;
        FrameListView* list = w.window.listView();
        w.project.frameList()->resetRows(Paths{p[0], {}, p[1], {}, {}, p[2]} + Paths(200, p[1]));
        // No closing blank: every position shows a picture.
        ProjectSettings settings{.fps = 4, .width = 40, .height = 20, .noTrailingBlank = true};
        w.project.changeSettings(settings);
        w.window.resize(240, 500);
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        ThumbnailCache* cache = list->thumbnails();
        QCOMPARE(list->rowHeight(0), 68);
        const QRect cell = list->visualRect(list->model()->index(0, 1));
        const auto colourAt = [&](int row) {
            return list->viewport()->grab().toImage().pixelColor(cell.left() + 5,
                                                                 cell.center().y() + row * 68);
        };
        QTRY_VERIFY(cache->isKnown(p[0]) && cache->isKnown(p[1]) && cache->isKnown(p[2]));
        QVERIFY(cache->thumbnail(p[0]).size() == QSize(128, 64) &&
                cache->thumbnail(p[1]).size() == QSize(85, 64));
        QTRY_COMPARE(colourAt(0), QColor(Qt::red));
        QCOMPARE(colourAt(2), QColor(Qt::blue));
        QVERIFY(colourAt(1) != QColor(Qt::red));
        const QImage shot = list->viewport()->grab().toImage().copy(cell);
        int left = shot.width(), right = -1; // of the text: dark grey to black
        for (int i = 0; i < shot.width() * shot.height(); ++i)
            if (QColor(shot.pixel(i % shot.width(), i / shot.width())).value() < 100)
                left = std::min(left, i % shot.width()), right = std::max(right, i % shot.width());
        QVERIFY(right - left >= list->fontMetrics().horizontalAdvance("0.bmp"));
        w.project.changePath(0, p[1]);
        QTRY_COMPARE(colourAt(0), QColor(Qt::blue));
        w.project.undo();
        QTRY_COMPARE(colourAt(0), QColor(Qt::red));
        w.window.commandAction(Command::ShowThumbnails)->trigger();
        QVERIFY(list->rowHeight(0) < 30);
        QTRY_VERIFY(colourAt(0) != QColor(Qt::red));

        w.project.goToRow(2);
        QList<int> rows;
        connect(w.playback(), &Playback::frameShown, this,
                [&](long, int row) { rows << w.project.focusedRow() << row; });
        w.key(Qt::Key_Space);
        QTRY_VERIFY(rows.size() >= 4);
        QCOMPARE(rows.mid(0, 4), (QList<int>{2, 2, 3, 3}));
        QVERIFY(w.window.splitter()->sizes()[1] >= w.window.splitter()->sizes()[0]);
        PreviewPane* preview = w.window.preview();
        QCOMPARE(preview->movieFrame().size(), QSize(40, 20));
        const QRect drawn = preview->movieFrameRect(), pane = preview->viewport()->rect();
        QVERIFY(qAbs(drawn.width() - 2 * drawn.height()) <= 1 && pane.contains(drawn) &&
                (drawn.width() == pane.width() || drawn.height() == pane.height()));
        w.key(Qt::Key_Space);
        QVERIFY(w.playback()->isPaused());
        w.project.changePath(w.project.pictureRowAt(w.project.focusedRow()), p[0]);
        QTRY_COMPARE(preview->movieFrame().pixelColor(20, 10), QColor(Qt::red));
        QVERIFY(w.playback()->isPaused());
        w.key(Qt::Key_Space);
        w.key(Qt::Key_Period);
        QVERIFY(!w.playback()->isActive());
        QCOMPARE(w.project.focusedRow(), rows.last());
        w.key(Qt::Key_Space);
        settings.fps = 0;
        w.project.changeSettings(settings);
        QTRY_VERIFY(!w.playback()->isActive());
        QCOMPARE(w.project.focusedRow(), rows.last());
        w.window.commandAction(Command::PlayPause)->trigger();
        QVERIFY(!w.playback()->isActive());
        QCOMPARE(w.dialogs.log.size(), 1);
    }

    // The preview follows the row it shows through edits that change its
    // picture (or give it its file again) or take it away, and another
    // project. Rows "0 - 2 1" (the pictures' numbers), row 1 shown.
    void previewFollows_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QStringList>("shown"); // after the first showing; -1 clears
        QTest::newRow("change the row above") << "change 0 2" << QStringList{"2"};
        QTest::newRow("the same file again") << "change 0 0" << QStringList{"0"};
        QTest::newRow("change a row below") << "change 2 0" << QStringList{};
        QTest::newRow("fill, undo, redo") << "change 1 2|undo|redo" << QStringList{"2", "0", "2"};
        QTest::newRow("blank the row above") << "blank 0" << QStringList{"-1"};
        QTest::newRow("delete a row below") << "delete 3" << QStringList{};
        QTest::newRow("delete the row, undo") << "delete 1|undo" << QStringList{"-1"};
        QTest::newRow("insert above") << "insert 0" << QStringList{};
        QTest::newRow("new project") << "new" << QStringList{"-1"};
    }
    void previewFollows() {
        QFETCH(QString, edit);
        Window w;
        Project& project = w.project;
        project.frameList()->resetRows(Paths{p[0], {}, p[2], p[1]});
        project.showRowImage(1);
        QStringList shown;
        connect(&project, &Project::showImage, this,
                [&](const QByteArray& path) { shown << QString::number(p.indexOf(path)); });
        for (const QString& step : edit.split('|')) {
            const int row = step.section(' ', 1, 1).toInt();
            SetMarks(project, {row}, row);
            const QString verb = step.section(' ', 0, 0);
            verb == "change"   ? project.changePath(row, p[step.section(' ', 2).toInt()])
            : verb == "undo"   ? project.undo()
            : verb == "redo"   ? project.redo()
            : verb == "new"    ? project.newProject()
            : verb == "insert" ? project.insertBlanks(row, 1)
            : verb == "blank"  ? project.blankSelection()
                               : project.deleteSelection();
        }
        QTEST(shown, "shown");
        QCOMPARE(w.window.preview()->path(), p.value(shown.value(shown.size() - 1, "0").toInt()));
    }
};

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
