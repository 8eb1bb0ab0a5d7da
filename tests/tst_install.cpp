// The installed tree, staged as the Debian package stages it (`cmake --install`,
// prefix /usr, a temporary DESTDIR): the files desktops look for pass their own
// validators, the project type is known, the converter finds its plug-ins.

#include "program_run.h"

#include <QtGui>
#include <QtTest>

static const QString kAppId = QStringLiteral(VISTROM_APP_ID);
static const QString kDemoDir = QStringLiteral(VISTROM_SOURCE_DIR "/examples");

class TestInstall : public QObject {
    Q_OBJECT

    QString installed(const QString& relative) const { return prefix_ + '/' + relative; }
    QTemporaryDir root_;
    QString prefix_; // the staged /usr

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", root_.path());
        const ProgramRun r = RunProgram(
            VISTROM_CMAKE_COMMAND, {"--install", VISTROM_BUILD_DIR, "--prefix", "/usr"}, {}, env);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        prefix_ = root_.path() + "/usr";
    }
    // Every decoder plug-in built, the icons and the manual page.
    void files() {
        const QStringList plugins = QDir(VISTROM_BIN_DIR).entryList({"*.spi"}, QDir::Files);
        QStringList paths{VISTROM_INSTALL_DATADIR "/icons/hicolor/scalable/apps/" + kAppId + ".svg",
                          VISTROM_INSTALL_MANDIR "/man1/vistrom.1.gz"};
        for (const QString& plugin : plugins)
            paths << VISTROM_PLUGIN_INSTALL_SUBDIR "/" + plugin;
        for (const QString& path : paths)
            QVERIFY2(QFileInfo(installed(path)).size() > 0, qPrintable(path));
        const QImage png(
            installed(VISTROM_INSTALL_DATADIR "/icons/hicolor/48x48/apps/" + kAppId + ".png"));
        QCOMPARE(png.size(), QSize(48, 48));
        QVERIFY(png.hasAlphaChannel() && png.pixelColor(0, 0).alpha() == 0);
    }
    // The desktops' validators pass the menu entry and the tree (which checks
    // the metainfo and finds the entry it launches). Opened from a file manager,
    // the program gets the project's path as its one argument.
    void desktopFiles() {
        QFile file(installed(VISTROM_INSTALL_DATADIR "/applications/" + kAppId + ".desktop"));
        ProgramRun r = RunProgram("desktop-file-validate", {file.fileName()});
        QVERIFY2(r.exitCode == 0 && r.out.isEmpty(), (r.out + r.err).constData());
        r = RunProgram("appstreamcli", {"validate-tree", "--no-net", "--no-color", root_.path()});
        QVERIFY2(r.exitCode == 0, (r.out + r.err).constData());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArrayList lines = file.readAll().split('\n');
        QVERIFY(lines.contains("Exec=vistrom %f"));
        QVERIFY(lines.contains("MimeType=application/x-vistrom-project;"));
        QVERIFY(lines.contains("Icon=" + kAppId.toUtf8()));
    }
    // The project type by name in any case, else by its first line: the installed
    // package compiled as desktops do, read by Qt (XDG_DATA_DIRS set before use).
    void projectType() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(root_.path() + "/home"));
        qputenv("XDG_DATA_DIRS",
                QFile::encodeName(installed(VISTROM_INSTALL_DATADIR) + ":/usr/share"));
        const ProgramRun r =
            RunProgram("update-mime-database", {installed(VISTROM_INSTALL_DATADIR "/mime")});
        QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), r.err.constData());
        const std::tuple<const char*, QByteArray, bool> files[] = {
            {"MOVIE.FSQ", "", true},
            {"movie", "!F 30\r\n!S 320,240\r\nf.bmp\r\n", true},
            {"notes", "frame1.bmp\r\n", false},
            {"movie.txt", "!F 30\r\n", false},
            {"library", "!<arch>\n", false}};
        for (const auto& [name, content, project] : files) {
            const QString file = root_.path() + '/' + name;
            QVERIFY(Save(file, content));
            const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
            QVERIFY2((type.name() == "application/x-vistrom-project") == project, name);
            QVERIFY(!project || type.inherits("text/plain"));
        }
    }
    // Run as a user would (no plug-in folder set, from the demo's folder): only the
    // closing blank frame is white; without plug-ins every JPEG and PNG row would be.
    void installedConverter() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("VISTROM_PLUGIN_DIR");
        const QString movie = root_.filePath("installed.avi");
        ProgramRun r = RunProgram(installed(VISTROM_INSTALL_BINDIR "/vistrom"),
                                  {"--convert", "demo.fsq", "--output", movie}, kDemoDir, env);
        QVERIFY2(r.exitCode == 0, r.err.constData());
        r = RunProgram("ffmpeg", {"-v", "error", "-i", movie, "-fps_mode", "passthrough", "-f",
                                  "rawvideo", "-pix_fmt", "rgb24", "-"});
        const qsizetype frameSize = 320 * 240 * 3;
        QVERIFY(r.exitCode == 0 && r.out.size() == 12 * frameSize);
        for (qsizetype i = 0; i < 12; ++i)
            QCOMPARE(r.out.mid(i * frameSize, frameSize).count('\xff') == frameSize, i == 11);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
