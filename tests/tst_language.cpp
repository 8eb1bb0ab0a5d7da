// The language the program speaks: the desktop's language in Qt's order, the
// --lang option (the program's use of it: tst_containers), and the whole
// window walked in each language: the Japanese texts kept exact, no Japanese
// left under English, nothing cut off.

#include "dialogs/CompressionDialog.h"
#include "dialogs/QtUserDialogs.h"
#include "language/Language.h"
#include "project/FrameList.h"
#include "project/Project.h"
#include "ui/FrameListView.h"
#include "ui/MainWindow.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Texts met walking the Japanese window: a menu, an item, a dialog, a question.
const QStringList kJapanese =
    QString::fromUtf8("ﾌｧｲﾙ(&F)|切り取り(詰め)(&X)\tCtrl+X|Vistrom (FPS,Size等の設定)|"
                      "AVIサイズを削る|未保存のデータを保存しますか?")
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

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    // The desktop's languages in Qt's order: the first that is Japanese or
    // English, else English (this process runs with LANGUAGE=fr:ja_JP).
    void desktop() {
        QCOMPARE(LanguageForDesktop({"C", "ja_JP.UTF-8@mod", "en"}), UiLanguage::Japanese);
        QCOMPARE(LanguageForDesktop({"fr_FR.UTF-8", "en-GB", "ja"}), UiLanguage::English);
        QCOMPARE(LanguageForDesktop({"fr", "C"}), UiLanguage::English);
    }
    // The --lang option taken out of the arguments ("arguments => what is
    // left"): "language|arguments left", the desktop's language without the
    // option, or "error|arguments" when the option is refused.
    void option_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("expected");
        for (const QString row :
             {"--convert p.fsq --lang=en --output m.avi => en|--convert p.fsq --output m.avi",
              "--lang en --lang=ja en => ja|en", "p.fsq => ja|p.fsq",
              "--lang de p.fsq => --lang takes ja or en, not \"de\"|--lang de p.fsq",
              "p.fsq --lang => --lang needs a value: ja or en|p.fsq --lang"})
            QTest::newRow(qPrintable(row)) << row.section(" => ", 0, 0) << row.section(" => ", 1);
    }
    void option() {
        QFETCH(QString, args);
        QByteArrayList words = ("vistrom " + args).toUtf8().split(' ');
        std::vector<char*> argv;
        for (QByteArray& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        int argc = int(words.size());
        const LanguageOption option = TakeLanguageOption(argc, argv.data());
        QVERIFY(!argv[size_t(argc)]);
        QStringList left;
        for (int i = 1; i < argc; ++i)
            left << argv[size_t(i)];
        const bool japanese = option.language.value_or(DesktopLanguage()) == UiLanguage::Japanese;
        const QString language = japanese ? "ja" : "en";
        QTEST((option.error.isEmpty() ? language : option.error) + '|' + left.join(' '),
              "expected");
    }
    // Every menu item and every dialog it opens, the real ones, each read and
    // dismissed as soon as it shows; a few messages met on the way. In
    // Japanese, English and Japanese again: no text stays behind.
    void walk() {
        for (const bool japanese : {true, false, true}) {
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
                QVERIFY2(all.contains(u"はい") && all.contains(u"いいえ"),
                         "Qt's buttons in Japanese");
                continue;
            }
            static const QRegularExpression cjk(
                "[\\x{3000}-\\x{30ff}\\x{3400}-\\x{9fff}\\x{ff00}-\\x{ffef}]");
            QVERIFY2(!all.contains(cjk),
                     qPrintable(all.mid(qMax(0, int(all.indexOf(cjk)) - 60), 120)));
            QVERIFY(walk.texts.contains("&Yes") && walk.texts.contains("About Vistrom"));
            QCOMPARE(QCoreApplication::translate("QGuiApplication", "QT_LAYOUT_DIRECTION"), "LTR");
        }
    }
};

int main(int argc, char** argv) {
    qputenv("LANGUAGE", "fr:ja_JP"); // the desktop's languages, before Qt reads them
    QApplication app(argc, argv);
    TestLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
