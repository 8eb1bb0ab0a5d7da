// The language the program speaks: the desktop's language in Qt's order, the
// --lang option, our English translation, and Qt's own Japanese dialogs.

#include "language/Language.h"

#include "program_run.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

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

QString Name(UiLanguage language) {
    return language == UiLanguage::Japanese ? QStringLiteral("ja") : QStringLiteral("en");
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void desktopLanguage_data();
    void desktopLanguage();
    void environment_data();
    void environment();
    void languageOption_data();
    void languageOption();
    void commandLine_data();
    void commandLine();
    void qtDialogsFollow();
};

void TestLanguage::desktopLanguage_data() {
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Japanese") << QStringList{"ja-JP", "ja"} << "ja";
    QTest::newRow("POSIX form") << QStringList{"ja_JP.UTF-8"} << "ja";
    QTest::newRow("English") << QStringList{"en-US", "en"} << "en";
    QTest::newRow("other language") << QStringList{"fr-FR", "fr"} << "en";
    QTest::newRow("first we have, Japanese") << QStringList{"de-DE", "ja-JP", "en"} << "ja";
    QTest::newRow("first we have, English") << QStringList{"de", "en-GB", "ja"} << "en";
    QTest::newRow("C") << QStringList{"C"} << "en";
    QTest::newRow("none") << QStringList{} << "en";
}

void TestLanguage::desktopLanguage() {
    QFETCH(QStringList, uiLanguages);
    QFETCH(QString, expected);
    QCOMPARE(Name(LanguageForDesktop(uiLanguages)), expected);
}

void TestLanguage::environment_data() {
    // What Qt makes of the variables, read in a fresh process each time.
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LANG ja") << QStringList{"LANG=ja_JP.UTF-8"} << "ja";
    QTest::newRow("LANG en") << QStringList{"LANG=en_US.UTF-8"} << "en";
    QTest::newRow("LANG fr") << QStringList{"LANG=fr_FR.UTF-8"} << "en";
    QTest::newRow("LANG C") << QStringList{"LANG=C.UTF-8"} << "en";
    QTest::newRow("nothing set") << QStringList{} << "en";
    QTest::newRow("LC_MESSAGES over LANG")
        << QStringList{"LANG=en_US.UTF-8", "LC_MESSAGES=ja_JP.UTF-8"} << "ja";
    QTest::newRow("LC_ALL over LC_MESSAGES")
        << QStringList{"LC_MESSAGES=ja_JP.UTF-8", "LC_ALL=en_US.UTF-8"} << "en";
    QTest::newRow("LC_ALL over LANG")
        << QStringList{"LANG=en_US.UTF-8", "LC_ALL=ja_JP.UTF-8"} << "ja";
    QTest::newRow("LANGUAGE over LC_ALL")
        << QStringList{"LC_ALL=en_US.UTF-8", "LANGUAGE=ja:en"} << "ja";
    QTest::newRow("LANGUAGE English over LANG Japanese")
        << QStringList{"LANG=ja_JP.UTF-8", "LANGUAGE=en_GB:ja"} << "en";
    QTest::newRow("LANGUAGE, first we have") << QStringList{"LANG=C", "LANGUAGE=fr:ja_JP"} << "ja";
}

void TestLanguage::environment() {
    QFETCH(QStringList, environment);
    QFETCH(QString, expected);
    const ProgramRun r =
        RunWithLocale(QCoreApplication::applicationFilePath(), {kPrintLanguage}, environment);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QString::fromLatin1(r.out), expected);
}

void TestLanguage::languageOption_data() {
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<QByteArrayList>("rest");
    QTest::addColumn<QString>("language"); // "" when not given
    QTest::addColumn<QString>("error");    // a part of the message, "" for none
    const QByteArrayList convert{"vistrom", "--convert", "p.fsq", "--output", "m.avi"};
    QTest::newRow("none") << convert << convert << ""
                          << "";
    QTest::newRow("ja first") << QByteArrayList{"vistrom", "--lang", "ja", "p.fsq"}
                              << QByteArrayList{"vistrom", "p.fsq"} << "ja"
                              << "";
    QTest::newRow("en inline, amid --convert")
        << QByteArrayList{"vistrom", "--convert", "p.fsq", "--lang=en", "--output", "m.avi"}
        << convert << "en"
        << "";
    QTest::newRow("last one counts") << QByteArrayList{"vistrom", "--lang", "en", "--lang=ja"}
                                     << QByteArrayList{"vistrom"} << "ja"
                                     << "";
    QTest::newRow("project named like a language")
        << QByteArrayList{"vistrom", "--lang", "en", "ja"} << QByteArrayList{"vistrom", "ja"}
        << "en"
        << "";
    QTest::newRow("unknown language") << QByteArrayList{"vistrom", "--lang", "de", "p.fsq"}
                                      << QByteArrayList{"vistrom", "--lang", "de", "p.fsq"} << ""
                                      << "not \"de\"";
    QTest::newRow("empty inline") << QByteArrayList{"vistrom", "--lang="}
                                  << QByteArrayList{"vistrom", "--lang="} << ""
                                  << "not \"\"";
    QTest::newRow("no value") << QByteArrayList{"vistrom", "p.fsq", "--lang"}
                              << QByteArrayList{"vistrom", "p.fsq", "--lang"} << ""
                              << "needs a value";
}

void TestLanguage::languageOption() {
    QFETCH(QByteArrayList, args);
    QFETCH(QByteArrayList, rest);
    QFETCH(QString, language);
    QFETCH(QString, error);
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = int(args.size());
    const LanguageOption option = TakeLanguageOption(argc, argv.data());
    QByteArrayList left;
    for (int i = 0; i < argc; ++i)
        left << QByteArray(argv[size_t(i)]);
    QCOMPARE(left, rest);
    QCOMPARE(argv[size_t(argc)], nullptr);
    QCOMPARE(option.language ? Name(*option.language) : QString(), language);
    QVERIFY2(error.isEmpty() ? option.error.isEmpty() : option.error.contains(error),
             qPrintable(option.error));
}

void TestLanguage::commandLine_data() {
    // The program itself: --lang anywhere, and the converter's own options untouched.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("--lang before --help")
        << QStringList{"--lang", "ja", "--help"} << 0 << QByteArray("--lang ja|en") << QByteArray();
    QTest::newRow("--lang among the converter's options")
        << QStringList{"--list-codecs", "--lang=en"} << 0 << QByteArray("uncompressed")
        << QByteArray();
    QTest::newRow("unknown language")
        << QStringList{"--lang", "fr", "--list-codecs"} << 2 << QByteArray()
        << QByteArray("vistrom: --lang takes ja or en, not \"fr\"");
    QTest::newRow("converter options still checked")
        << QStringList{"--lang", "en", "--convert", "p.fsq"} << 2 << QByteArray()
        << QByteArray("--convert needs --output");
}

void TestLanguage::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const ProgramRun r = RunWithLocale(kVistrom, args, {"LANG=ja_JP.UTF-8"});
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.out.contains(out), r.out.constData());
    QVERIFY2(r.err.contains(err), r.err.constData());
}

void TestLanguage::qtDialogsFollow() {
    // Under Japanese, Qt's own buttons come from Qt's Japanese translation;
    // under English they are Qt's own texts and our translation is in place.
    auto buttons = [] {
        QMessageBox box(QMessageBox::Question, "Vistrom", "?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return QStringList{box.button(QMessageBox::Yes)->text(),
                           box.button(QMessageBox::No)->text(),
                           box.button(QMessageBox::Cancel)->text()};
    };
    QVERIFY(ApplyLanguage(UiLanguage::Japanese));
    const QStringList japanese = buttons();
    QVERIFY2(japanese[0].startsWith(u"はい"), qPrintable(japanese.join('|')));
    QVERIFY2(japanese[1].startsWith(u"いいえ"), qPrintable(japanese.join('|')));
    QVERIFY2(japanese[2].startsWith(u"キャンセル"), qPrintable(japanese.join('|')));
    QVERIFY(ApplyLanguage(UiLanguage::English));
    QCOMPARE(buttons(), (QStringList{"&Yes", "&No", "Cancel"}));
    QCOMPARE(QCoreApplication::translate("QGuiApplication", "QT_LAYOUT_DIRECTION"), "LTR");
    QVERIFY(ApplyLanguage(UiLanguage::Japanese)); // and back again
    QCOMPARE(buttons(), japanese);
}

int main(int argc, char** argv) {
    if (argc == 2 && !std::strcmp(argv[1], kPrintLanguage)) {
        QCoreApplication app(argc, argv);
        std::fputs(qPrintable(Name(DesktopLanguage())), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    TestLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_language.moc"
