// Watching the movie before converting it: the positions playback shows
// against the movie's own frame lines, the player's clock and sound, the
// window's playback commands, the preview following the project, and the
// list's thumbnails.

#include "project_tools.h"
#include "scripted_dialogs.h"

#include "imaging/ThumbnailCache.h"
#include "movie/FrameDrawing.h"
#include "movie/IntermediateFrameFile.h"
#include "movie/Playback.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPane.h"

#include <QHeaderView>
#include <QImage>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>

namespace {

// Pictures of three sizes and colours, so that centring and stretching differ.
Paths Pictures(const QTemporaryDir& dir) {
    Paths paths;
    const QList<std::pair<QSize, QColor>> made{
        {{12, 6}, Qt::red}, {{40, 30}, Qt::blue}, {{5, 50}, Qt::darkGreen}};
    for (const auto& [size, colour] : made) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        // A PNG too: the plug-ins hand over rows stored bottom-up.
        const QString path = dir.filePath(
            QStringLiteral("%1.%2").arg(paths.size()).arg(colour == Qt::blue ? "png" : "bmp"));
        image.save(path);
        paths << QFile::encodeName(path);
    }
    return paths;
}

QByteArray Bytes(const PixelBuffer& frame) {
    QByteArray bytes;
    for (int y = 0; y < frame.height(); ++y)
        bytes += QByteArray(reinterpret_cast<const char*>(frame.row(y)), frame.width() * 4);
    return bytes;
}

struct RecordedSound : PlaybackSound {
    QStringList calls;
    void play(const QByteArray& path, qint64 fromMs) override {
        calls << QStringLiteral("play %1 %2").arg(QString::fromUtf8(path)).arg(fromMs);
    }
    void pause() override { calls << "pause"; }
    void stop() override { calls << "stop"; }
};

struct Window {
    ScriptedDialogs dialogs;
    Project project;
    MainWindow window{&project, &dialogs};
    void trigger(Command id) { window.commandAction(id)->trigger(); }
};

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT

private slots:
    void positions_data();
    void positions();
    void player();
    void windowCommands();
    void previewFollows_data();
    void previewFollows();
    void thumbnails();
};

// The worked example (a, two blanks, b, c, two blanks) with every
// combination of the options: each position shows exactly the movie's frame,
// which is the frame file's line at or before it, drawn by the renderer
// (white before the first line), and there are as many positions as the
// movie has.
void TestPlayback::positions_data() {
    QTest::addColumn<bool>("trim");
    QTest::addColumn<bool>("noTrailingBlank");
    QTest::addColumn<bool>("scale");
    QTest::addColumn<bool>("leadingBlanks");
    QTest::addColumn<long>("count");
    for (int i = 0; i < 16; ++i) {
        const bool trim = i & 1, noBlank = i & 2, scale = i & 4, leading = i & 8;
        const long count = (noBlank ? (trim ? 5 : 7) : 8) + (leading ? 2 : 0);
        QTest::addRow("trim %d, no blank %d, scale %d, leading %d", trim, noBlank, scale, leading)
            << trim << noBlank << scale << leading << count;
    }
}

void TestPlayback::positions() {
    QFETCH(bool, trim);
    QFETCH(bool, noTrailingBlank);
    QFETCH(bool, leadingBlanks);
    QTemporaryDir dir;
    const Paths p = Pictures(dir);
    Paths rows{p[0], {}, {}, p[1], p[2], {}, {}};
    if (leadingBlanks)
        rows = Paths{{}, {}} + rows;
    ProjectSettings settings;
    settings.width = 32;
    settings.height = 24;
    settings.trimAviSize = trim;
    settings.noTrailingBlank = noTrailingBlank;
    QFETCH(bool, scale);
    settings.scaleImages = scale;

    IntermediateFrameFile file;
    QVERIFY(file.create(QFile::encodeName(dir.path())));
    const long lines = file.writeLines(rows, trim, noTrailingBlank);
    QVERIFY(lines > 0 && file.rewindForReading());
    FrameLineReader reader(file.file());
    QList<FrameLine> movie;
    while (reader.readLine())
        movie.append({reader.position(), reader.path()});
    QCOMPARE(movie.size(), lines);

    const PlaybackSchedule schedule(rows, settings);
    QTEST(schedule.positionCount(), "count");
    QCOMPARE(schedule.positionCount(), movie.last().position + 1);
    PlaybackFrames frames(schedule, 32, 24, FrameDrawMode(settings), {}, {}, 2);
    PixelBuffer expected = *PixelBuffer::allocate(32, 24, PixelFormat::Xrgb32, RowOrder::TopDown);
    qsizetype line = -1;
    for (long position = 0; position < schedule.positionCount(); ++position) {
        while (line + 1 < movie.size() && movie[line + 1].position <= position)
            ++line;
        DrawFrameLine(line < 0 ? QByteArray() : movie[line].path, FrameDrawMode(settings), {},
                      expected);
        const PixelBuffer* shown = frames.waitForFrame(position);
        QVERIFY(shown);
        QVERIFY2(Bytes(*shown) == Bytes(expected), qPrintable(QString::number(position)));
        QCOMPARE(schedule.rowAt(position), int(std::min<long>(position, rows.size() - 1)));
    }
    QVERIFY(frames.framesHeld() <= frames.frameBound());
}

// The player keeps the movie's pace from a monotonic clock: started at a row
// it shows the positions from there on in order (none skipped on an idle
// machine), each at its time; the sound starts at that row's time, pauses
// and goes on from where the pictures stopped; stop tells the last row shown;
// with loop on it starts over at the first position.
void TestPlayback::player() {
    QTemporaryDir dir;
    const Paths p = Pictures(dir);
    ProjectSettings settings;
    settings.fps = 20;
    settings.width = 16;
    settings.height = 12;
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
    const qint64 took = clock.elapsed();
    // A busy machine may skip a late position, never show one out of order.
    if (playback.figures().skipped == 0)
        QCOMPARE(shown, (QList<long>{3, 4, 5, 6, 7, 8}));
    QVERIFY(std::is_sorted(shown.begin(), shown.end()) && shown.first() >= 3 && shown.last() <= 8);
    QVERIFY2(took >= 6 * 50 - 5 && took < 6 * 50 + 300, qPrintable(QString::number(took)));
    QCOMPARE(stopped.takeFirst().at(0).toInt(), 7); // the blank frame belongs to the last row
    QCOMPARE(sound.calls, (QStringList{"play /s.wav 150", "stop"}));
    QCOMPARE(playback.figures().shown + playback.figures().skipped, 6);

    // Pause and resume: the sound goes on from the pictures' time.
    sound.calls.clear();
    shown.clear();
    playback.start(rows, settings, 0, "/s.wav");
    QTRY_VERIFY(shown.size() >= 3);
    playback.pause();
    const long at = shown.last();
    QTest::qWait(120);
    QCOMPARE(shown.last(), at);
    playback.resume();
    QVERIFY(stopped.wait(5000));
    QCOMPARE(sound.calls.size(), 4);
    QCOMPARE(sound.calls[1], QStringLiteral("pause"));
    const qint64 resumedMs = sound.calls[2].section(' ', 2).toLongLong();
    QVERIFY(resumedMs >= at * 50 && resumedMs < (at + 2) * 50);

    // Loop: after the last position the first comes again.
    shown.clear();
    playback.setLoop(true);
    playback.start(rows, settings, 6);
    QTRY_VERIFY(shown.size() >= 5);
    playback.stop();
    QCOMPARE(shown.mid(0, 5), (QList<long>{6, 7, 8, 0, 1}));
}

// Ctrl+Space plays from the focus row, opening the preview to at least half
// the window and drawing the movie frame there scaled to fit; the list's
// focus follows the row playing; Ctrl+Space pauses, Ctrl+. stops and leaves
// the focus on the last row shown. Settings that cannot make a movie are
// refused with the conversion's message.
void TestPlayback::windowCommands() {
    QTemporaryDir dir;
    const Paths p = Pictures(dir);
    Window w;
    w.project.frameList()->resetRows(Paths{p[0], {}, p[1], {}, {}, p[2]});
    ProjectSettings settings = w.project.settings();
    settings.fps = 10;
    settings.width = 40;
    settings.height = 20;
    w.project.changeSettings(settings);
    w.project.goToRow(2);
    w.window.resize(800, 400);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QList<int> rows;
    connect(w.window.playback(), &Playback::frameShown, this,
            [&](long, int row) { rows << w.project.focusedRow() << row; });
    QTest::keyClick(w.window.listView(), Qt::Key_Space, Qt::ControlModifier);
    QTRY_VERIFY(rows.size() >= 4);
    QCOMPARE(rows.mid(0, 4), (QList<int>{2, 2, 3, 3}));
    const QList<int> sizes = w.window.splitter()->sizes();
    QVERIFY(sizes[1] >= sizes[0]);
    PreviewPane* preview = w.window.preview();
    QCOMPARE(preview->movieFrame().size(), QSize(40, 20));
    const QRect drawn = preview->movieFrameRect();
    QVERIFY(qAbs(drawn.width() - 2 * drawn.height()) <= 1);
    QVERIFY(drawn.width() == preview->viewport()->width() ||
            drawn.height() == preview->viewport()->height());
    QTest::keyClick(w.window.listView(), Qt::Key_Space, Qt::ControlModifier);
    QVERIFY(w.window.playback()->isPaused());
    const int paused = w.project.focusedRow();
    QTest::keyClick(w.window.listView(), Qt::Key_Period, Qt::ControlModifier);
    QVERIFY(!w.window.playback()->isActive());
    QCOMPARE(w.project.focusedRow(), paused);
    QCOMPARE(rows.last(), paused);

    settings.fps = 0;
    w.project.changeSettings(settings);
    w.trigger(Command::PlayPause);
    QVERIFY(!w.window.playback()->isActive());
    QCOMPARE(w.dialogs.log.size(), 1);
}

// The preview follows the row it shows: an edit that changes that row's
// picture shows the new one, one that leaves it without a picture (or takes
// the row away) clears it, and another project clears it. Rows "0 - 2 3"
// (files of the test folder), row 1 shown (picture 0).
void TestPlayback::previewFollows_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("shown"); // after the first showing; "" clears
    QTest::newRow("change the row above") << "change 0" << QStringList{"2"};
    QTest::newRow("change a row below") << "change 2" << QStringList{};
    QTest::newRow("fill the row") << "change 1" << QStringList{"2"};
    QTest::newRow("fill, undo, redo") << "change 1|undo|redo" << QStringList{"2", "0", "2"};
    QTest::newRow("blank the row above") << "blank 0" << QStringList{""};
    QTest::newRow("delete the row") << "delete 1" << QStringList{""};
    QTest::newRow("delete a row below") << "delete 3" << QStringList{};
    QTest::newRow("delete, undo") << "delete 1|undo" << QStringList{""};
    QTest::newRow("insert above") << "insert 0" << QStringList{};
    QTest::newRow("new project") << "new" << QStringList{""};
}

void TestPlayback::previewFollows() {
    QFETCH(QString, edit);
    QTemporaryDir dir;
    const Paths p = Pictures(dir);
    Window w;
    w.project.frameList()->resetRows(Paths{p[0], {}, p[2], p[1]});
    w.project.showRowImage(1);
    QStringList shown;
    connect(&w.project, &Project::showImage, this, [&](const QByteArray& path) {
        shown << (path.isEmpty() ? QString() : QString::number(p.indexOf(path)));
    });
    for (const QString& step : edit.split('|')) {
        const int row = step.section(' ', 1).toInt();
        if (step.startsWith("change"))
            w.project.changePath(row, p[2]);
        else if (step == "undo")
            w.project.undo();
        else if (step == "redo")
            w.project.redo();
        else if (step == "new")
            w.project.newProject();
        else if (step.startsWith("insert"))
            w.project.insertBlanks(row, 1);
        else
            SetMarks(w.project, {row}, row);
        if (step.startsWith("blank"))
            w.project.blankSelection();
        if (step.startsWith("delete"))
            w.project.deleteSelection();
    }
    QTEST(shown, "shown");
    QCOMPARE(w.window.preview()->path(), shown.isEmpty()      ? p[0]
                                         : shown.last() == "" ? QByteArray()
                                                              : p[shown.last().toInt()]);
}

// Each filled row on screen shows its picture's thumbnail (64 high, aspect
// kept) beside its path, a blank row none; a changed image and its undo show
// the new and the old picture; switched off, rows are as tall as before and
// show no picture.
void TestPlayback::thumbnails() {
    QTemporaryDir dir;
    const Paths p = Pictures(dir);
    Window w;
    FrameListView* list = w.window.listView();
    w.project.frameList()->resetRows(Paths{p[0], {}, p[1], p[2]} + Paths(200, p[1]));
    w.window.resize(600, 500);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    ThumbnailCache* cache = list->thumbnails();
    QCOMPARE(list->rowHeight(0), 68);
    const auto colourAt = [&](int row) {
        const QRect cell = list->visualRect(list->model()->index(row, 1));
        return list->viewport()->grab().toImage().pixelColor(cell.left() + 5, cell.center().y());
    };
    QTRY_VERIFY(cache->isKnown(p[0]) && cache->isKnown(p[1]) && cache->isKnown(p[2]));
    QCOMPARE(cache->thumbnail(p[0]).size(), QSize(128, 64));
    QCOMPARE(cache->thumbnail(p[1]).size(), QSize(85, 64));
    QCOMPARE(cache->thumbnail(p[2]).height(), 64);
    QTRY_COMPARE(colourAt(0), QColor(Qt::red));
    QCOMPARE(colourAt(2), QColor(Qt::blue));
    QVERIFY(colourAt(1) != QColor(Qt::red));
    QVERIFY(cache->waiting() == 0 && cache->bytesHeld() < 100000);
    w.project.changePath(0, p[1]);
    QTRY_COMPARE(colourAt(0), QColor(Qt::blue));
    w.project.undo();
    QTRY_COMPARE(colourAt(0), QColor(Qt::red));
    w.trigger(Command::ShowThumbnails);
    QVERIFY(list->rowHeight(0) < 30);
    QTRY_VERIFY(colourAt(0) != QColor(Qt::red));
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
