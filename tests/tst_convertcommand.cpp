// The window's conversion (Ctrl+B): the movie's name, the wait cursor, the
// compressor asked before the worker starts, progress from the worker's
// counts, Cancel, one conversion at a time, and the messages in their order
// once the worker is done (the writer's, the reasons of a failure, a refusal,
// unreadable images, the closing one), answered by ScriptedDialogs.

#include "scripted_dialogs.h"

#include "movie_writer_tools.h"
#include "project/Project.h"
#include "ui/ConversionCommand.h"

#include <QtTest>
#include <QtWidgets>

using namespace moviecheck;

namespace {
const QString Finished = QStringLiteral("message: AVI変換処理が終了しました。");
const QString Cancelled = QStringLiteral("message: AVI変換をキャンセルしました。\n%1 フレーム中 %2 "
                                         "フレームを書き込んだところで中止しました。");
} // namespace

class TestConvertCommand : public QObject {
    Q_OBJECT

    QTemporaryDir dir_, temp_;
    QImage red_{20, 10, QImage::Format_RGB32};

private slots:
    void initTestCase() {
        // The intermediate file goes to a folder of our own, so we see it go.
        qputenv("TMPDIR", QFile::encodeName(temp_.path()));
        red_.fill(Qt::red);
        QVERIFY(red_.save(dir_.filePath("red.png")));
    }

    void cleanup() {
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(QDir(temp_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    // The name is completed with ".avi" unless it ends so; a completed name that
    // exists is replaced only after a Yes (the dialog asked about the name typed).
    void movieName_data() {
        QTest::addColumn<QString>("chosen"); // null: the dialog is cancelled
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("name"); // null: none
        QTest::newRow("no extension") << "movie" << QStringList() << "movie.avi";
        QTest::newRow(".Avi") << "movie.Avi" << QStringList() << "movie.Avi";
        QTest::newRow(".avi.bak") << "movie.avi.bak" << QStringList() << "movie.avi.bak.avi";
        QTest::newRow("avi without dot") << "movieavi" << QStringList() << "movieavi.avi";
        QTest::newRow("cancelled") << QString() << QStringList() << QString();
        QTest::newRow("completed name exists, No") << "old" << QStringList{"no"} << QString();
        QTest::newRow("completed name exists, dismissed")
            << "old" << QStringList{"dismiss"} << QString();
        QTest::newRow("completed name exists, Yes") << "old" << QStringList{"yes"} << "old.avi";
    }

    void movieName() {
        QFETCH(QString, chosen);
        QFETCH(QStringList, answers);
        QFETCH(QString, name);
        QVERIFY(Save(dir_.filePath("old.avi"), {}));
        ScriptedDialogs dialogs;
        dialogs.script(QStringList(chosen.isNull() ? "file-" : "file:" + dir_.filePath(chosen)) +
                       answers);
        const std::optional<QByteArray> answered = AskMovieFileName(dialogs, "/start/here");
        QCOMPARE(answered.value_or("none"),
                 name.isNull() ? "none" : QFile::encodeName(dir_.filePath(name)));
        QCOMPARE(dialogs.logged("question: ").size(), answers.size());
        const UserDialogs::FileRequest& r = dialogs.fileRequests[0];
        QVERIFY(r.save && r.overwritePrompt && r.startFolder == "/start/here");
    }

    void conversion_data() {
        QTest::addColumn<int>("images");    // image rows, each followed by a blank row
        QTest::addColumn<QString>("movie"); // the name chosen; empty: the dialog is cancelled
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QStringList>("log"); // the dialogs, each a pattern
        QTest::addColumn<int>("frames"); // in the movie; 0: the older file stays, -1: not checked
        auto row = [](const char* name, int images, const char* movie, const char* trouble,
                      QStringList log, int frames) {
            QTest::newRow(name) << images << movie << trouble << log << frames;
        };
        // Images at 0, 2, 4; hold lines at 1, 3, 5; the blank frame at 6. The images are named
        // relative to the project's folder and found there, wherever the program runs.
        row("converted", 3, "movie", "", {"file", "compression", Finished}, 7);
        row("name cancelled", 2, "", "", {"file"}, -1);
        // The writer says nothing about a cancelled dialog; cancelling it cancels the conversion.
        row("compression cancelled", 2, "c.avi", "cancel compression",
            {"file", "compression", Cancelled.arg(5).arg(0)}, 0);
        // Long enough that the worker cannot be done before the click.
        row("cancel in the progress dialog", 20000, "s.avi", "cancel",
            {"file", "compression", Cancelled.arg(40001).arg("[0-9]+")}, 0);
        row("unwritable output", 1, "/nonexistent-folder/m.avi", "",
            {"file", "compression", "plain: CannotOpenAviFile / Error",
             "plain: WritingERR / AVI ERR",
             "message: AVI変換に失敗しました。\n/nonexistent-folder/m.avi\nNo such file or "
             "directory"},
            0);
        // Images that could not be read (rows 0, 2, ... 12, counted as the list shows them)
        // are summed up in one box, five by name, before the closing message.
        row("unreadable images", 7, "u.avi", "unreadable",
            {"file", "compression",
             "message: 7 行.*\n0 行目: gone0 .*\n2 行目: gone1 .*\n4 .*\n6 .*\n8 行目: "
             "gone4 .*\nほか 2 行",
             Finished},
            -1);
        // Refused once the worker runs: that message alone, not as a failed conversion.
        row("sound is a folder", 1, "f.avi", "sound is a folder",
            {"file", "compression", "message: Audio[^\n]*"}, 0);
        // Settings that cannot make a movie are refused before the name is asked.
        row("0 fps", 1, "never.avi", "0 fps", {"message: フレームレート 0 fps (.|\n)*"}, 0);
    }

    void conversion() {
        QFETCH(int, images);
        QFETCH(QString, movie);
        QFETCH(QString, trouble);
        QFETCH(QStringList, log);
        QFETCH(int, frames);
        ScriptedDialogs dialogs;
        Project project;
        QWidget window;
        window.show();
        ConversionCommand command(&project, &dialogs, &window);
        project.changeSettings({.fps = trouble == "0 fps" ? 0u : 8u,
                                .width = 40,
                                .height = 30,
                                .depth = ColourDepth::Bits24,
                                .audioEnabled = trouble == "sound is a folder",
                                .audioPath = QFile::encodeName(dir_.path())});
        QList<QByteArray> rows;
        for (int i = 0; i < images; ++i)
            rows << (trouble == "unreadable" ? "gone" + QByteArray::number(i) : "red.png")
                 << QByteArray();
        project.frameList()->resetRows(rows);
        QCOMPARE(project.saveAs(QFile::encodeName(dir_.filePath("p.fsq"))), ProjectResult::Done);
        project.undoStack()->clear();
        const QString working = QDir::currentPath();
        QDir::setCurrent(temp_.path());
        const QString path = movie.startsWith('/') ? movie : dir_.path() + '/' + movie;
        const QString written = movie.endsWith(".avi") ? path : path + ".avi";
        if (movie.endsWith(".avi")) // the save dialog asked; a failed conversion keeps it
            Save(written, "older movie");
        dialogs.files << (movie.isEmpty() ? std::nullopt : std::optional(QFile::encodeName(path)));
        if (trouble == "cancel compression")
            dialogs.compression = std::nullopt;
        // While the compressor is asked: the wait cursor, and no progress yet.
        bool waitingWhileAsked = false;
        dialogs.duringCompression = [&] {
            waitingWhileAsked = QApplication::overrideCursor() &&
                                QApplication::overrideCursor()->shape() == Qt::WaitCursor &&
                                !window.findChild<QProgressDialog*>();
        };

        QSignalSpy finished(&command, &ConversionCommand::finished);
        command.start();
        // The command has returned: a worker converts behind the progress dialog.
        auto* progress = window.findChild<QProgressDialog*>("conversionProgress");
        QCOMPARE(command.isRunning(), progress != nullptr);
        if (progress) {
            // Not modal, so that closing the window reaches the window (tst_mainwindow).
            QVERIFY(progress->isVisible() && progress->windowModality() == Qt::NonModal);
            QSignalSpy shown(progress->findChild<QProgressBar*>(), &QProgressBar::valueChanged);
            command.start(); // one conversion at a time
            if (trouble == "cancel")
                progress->findChild<QPushButton*>()->click();
            QVERIFY(finished.wait(60000));
            // The last count the worker gave was shown.
            QVERIFY(frames <= 0 || (!shown.isEmpty() && shown.last()[0].toInt() == frames));
        }
        QDir::setCurrent(working);
        const QString told = dialogs.log.join("\n~\n"); // each entry of `log` a pattern
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(log.join("\n~\n")))
                     .match(told)
                     .hasMatch(),
                 qPrintable(told));
        QCOMPARE(waitingWhileAsked, log.contains("compression"));
        // The compression dialog is told the movie's size, to grey out what cannot write it.
        QCOMPARE(dialogs.compressionSizes, QList<QSize>(log.count("compression"), QSize(40, 30)));
        QVERIFY(!command.isRunning());
        QVERIFY(!project.isModified()); // the conversion neither saves nor marks the project
        if (frames == 0 && QFileInfo(written).dir().exists())
            QCOMPARE(ReadAll(written), QByteArray("older movie"));
        QVERIFY(QFileInfo(written).dir().entryList({".*"}, QDir::Hidden | QDir::Files).isEmpty());
        if (frames > 0 && HaveTool("ffprobe")) {
            QCOMPARE(VideoPackets(Probe(written)).first.size(), frames);
            // The first frame shows the red image in its middle.
            QCOMPARE(Difference(DecodeBgr24(written, 40, 30).at(0), Framed(40, 30, red_)).first, 0);
        }
    }
};

QTEST_MAIN(TestConvertCommand)
#include "tst_convertcommand.moc"
