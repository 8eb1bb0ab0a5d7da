// The language the program speaks: the desktop's language in Qt's order, the
// --lang option, and the whole window walked in each language: the specified
// Japanese texts, no Japanese left under English, nothing cut off.

#include "dialogs/CompressionDialog.h"
#include "dialogs/QtUserDialogs.h"
#include "language/Language.h"
#include "project/FrameList.h"
#include "project/Project.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"

#include "program_run.h"

#include <QApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kPrintLanguage[] = "--print-desktop-language";
const QString kVistrom = QStringLiteral(VISTROM_BIN_DIR "/vistrom");

// Runs `program` with the locale variables set as `settings` ("NAME=value") say.
ProgramRun RunWithLocale(const QString& program, const QStringList& args,
                         const QStringList& settings) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        env.remove(name);
    for (const QString& setting : settings)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    return RunProgram(program, args, {}, env);
}

// A few of the texts met walking the Japanese window: menus, a dialog, a message.
const QStringList kJapanese =
    QString::fromUtf8("ﾌｧｲﾙ(&F)|変換(&C)|切り取り(詰め)(&X)\tCtrl+X|Vistrom (FPS,Size等の設定)|"
                      "AVIサイズを削る|未保存のデータを保存しますか?|Vistrom 値の設定")
        .split('|');

// What a dialog shows, and which of its texts do not fit their widgets.
struct Walk {
    QStringList texts, cut;
    void fit(const QString& text, int room, const QFont& font) {
        texts << text;
        for (const QString& line : QString(text).remove('&').split('\n'))
            if (QFontMetrics(font).horizontalAdvance(line) > room)
                cut << QStringLiteral("%1 in %2 px").arg(line).arg(room);
    }
    void read(QWidget* top) {
        if (auto* files = qobject_cast<QFileDialog*>(top)) // Qt's own dialog: only our texts
            return void(texts << files->windowTitle() << files->nameFilters());
        QFont bold = top->font(); // a title bar's, with room for its buttons
        bold.setBold(true);
        fit(top->windowTitle(), top->width() - 100, bold);
        for (QWidget* w : top->findChildren<QWidget*>()) { // labels, buttons, edits, group boxes
            const char* text = w->inherits("QGroupBox") ? "title" : "text";
            if (!w->isVisibleTo(top) || !w->property(text).isValid())
                continue;
            int room = w->property("wordWrap").toBool() ? 1 << 20 : w->contentsRect().width();
            if (w->inherits("QCheckBox") || w->inherits("QRadioButton"))
                room -= w->style()->pixelMetric(QStyle::PM_IndicatorWidth);
            room -= w->inherits("QLineEdit") ? 8 : 0; // the frame and the text's margins
            fit(w->property(text).toString(), room, w->font());
        }
        for (QListWidget* list : top->findChildren<QListWidget*>())
            for (int i = 0; i < list->count(); ++i)
                fit(list->item(i)->text(), list->viewport()->width() - 8, list->font());
    }
};

template <typename... T> void Row(const char* name, const T&... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void choice_data() {
        // What Qt makes of the variables, and the --lang option taken out of the
        // arguments, in a fresh process each time: "language|arguments left", or
        // "error|arguments" when the option is refused.
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("expected");
        Row("LANG ja", "LANG=ja_JP.UTF-8", "", "ja|");
        Row("LANG fr", "LANG=fr_FR.UTF-8", "", "en|");
        Row("LANGUAGE, first we have", "LANG=C LANGUAGE=fr:ja_JP", "", "ja|");
        const QString convert = "--convert p.fsq --output m.avi";
        Row("inline, amid --convert", "LANG=en_US.UTF-8",
            "--convert p.fsq --lang=ja --output m.avi", "ja|" + convert);
        Row("last one counts; a project named like a language", "", "--lang en --lang=ja en",
            "ja|en");
        Row("unknown", "", "--lang de p.fsq", "--lang takes ja or en, not \"de\"|--lang de p.fsq");
        Row("no value", "", "p.fsq --lang", "--lang needs a value: ja or en|p.fsq --lang");
        // The program itself ("2|" its exit code, then a part of what it prints).
        Row("program: before --help", "LANG=ja_JP.UTF-8", "vistrom --lang ja --help",
            "0|--lang ja|en");
        Row("program: unknown", "", "vistrom --lang fr --list-codecs",
            "2|vistrom: --lang takes ja");
    }

    void choice() {
        QFETCH(QString, environment);
        QFETCH(QString, args);
        QFETCH(QString, expected);
        QStringList words = args.split(' ', Qt::SkipEmptyParts);
        const bool program = args.startsWith("vistrom ");
        const ProgramRun r =
            RunWithLocale(program ? kVistrom : QCoreApplication::applicationFilePath(),
                          program ? words.mid(1) : QStringList{kPrintLanguage} + words,
                          environment.split(' ', Qt::SkipEmptyParts));
        if (!program)
            QCOMPARE(QString::number(r.exitCode) + '|' + r.out, "0|" + expected);
        else if (QString::number(r.exitCode) != expected.left(1) ||
                 !(r.out + r.err).contains(expected.mid(2).toUtf8()))
            QFAIL(qPrintable(QStringLiteral("%1: %2%3").arg(r.exitCode).arg(r.out, r.err)));
    }

    void walk_data() {
        QTest::addColumn<QString>("language");
        for (const char* language : {"ja", "en", "ja"}) // and back: no text stays behind
            QTest::newRow(language) << language;
    }

    void walk() {
        // Every menu item and every dialog it opens, the real ones, each read and
        // dismissed as soon as it shows; a few messages met on the way.
        QFETCH(QString, language);
        const bool japanese = language == "ja";
        QVERIFY(ApplyLanguage(japanese ? UiLanguage::Japanese : UiLanguage::English));
        QTemporaryDir dir;
        QFile empty(dir.filePath("empty.fsq"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        Walk walk;
        QTimer closer;
        closer.callOnTimeout([&walk] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                walk.read(dialog);
                dialog->reject();
            }
        });
        closer.start(10);
        Project project;
        QtUserDialogs dialogs;
        MainWindow window(&project, &dialogs);
        dialogs.setOwner(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openProjectAt(QFile::encodeName(dir.filePath("missing.fsq")));
        window.openProjectAt(QFile::encodeName(empty.fileName()));
        project.insertBlanks(0, 3);
        window.listView()->placeDroppedFiles({QUrl::fromLocalFile(empty.fileName())});
        for (MovieContainer container : {MovieContainer::Avi, MovieContainer::Mp4}) {
            CompressionDialog compression(&window, ContainerCodecs(container), {}, container);
            compression.show();
            walk.read(&compression);
        }
        for (int column : {0, 1})
            walk.texts << project.frameList()->headerData(column, Qt::Horizontal).toString();
        for (QAction* menu : window.menuBar()->actions()) {
            walk.texts << menu->text();
            for (QAction* item : menu->menu()->actions()) {
                walk.texts << item->text() << item->statusTip();
                item->trigger();
            }
        }
        const QString all = '\n' + walk.texts.join('\n') + '\n';
        QVERIFY2(walk.cut.isEmpty(), qPrintable(walk.cut.join(" | ")));
        if (japanese) {
            for (const QString& text : kJapanese)
                QVERIFY2(all.contains('\n' + text + '\n'), qPrintable(text));
            QVERIFY2(all.contains(u"はい") && all.contains(u"いいえ"), "Qt's buttons in Japanese");
            return;
        }
        static const QRegularExpression cjk(
            "[\\x{3000}-\\x{30ff}\\x{3400}-\\x{9fff}\\x{ff00}-\\x{ffef}]");
        QVERIFY2(!all.contains(cjk), qPrintable(all.mid(qMax(0, int(all.indexOf(cjk)) - 60), 120)));
        QVERIFY(walk.texts.contains("&Yes") && walk.texts.contains("About Vistrom"));
        QCOMPARE(QCoreApplication::translate("QGuiApplication", "QT_LAYOUT_DIRECTION"), "LTR");
    }
};

int main(int argc, char** argv) {
    if (argc >= 2 && !std::strcmp(argv[1], kPrintLanguage)) {
        const LanguageOption option = TakeLanguageOption(argc, argv);
        QCoreApplication app(argc, argv);
        QStringList left;
        for (int i = 2; i < argc; ++i)
            left << argv[i];
        const UiLanguage language = option.language.value_or(DesktopLanguage());
        std::fputs(qPrintable((option.error.isEmpty()
                                   ? QString(language == UiLanguage::Japanese ? "ja" : "en")
                                   : option.error) +
                              '|' + left.join(' ') + (argv[argc] ? "!" : "")),
                   stdout);
        return 0;
    }
    QApplication app(argc, argv);
    TestLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
