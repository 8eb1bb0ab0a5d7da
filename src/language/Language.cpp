#include "language/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <vector>

std::optional<UiLanguage> LanguageFromName(QByteArrayView name) {
    if (name == "ja")
        return UiLanguage::Japanese;
    if (name == "en")
        return UiLanguage::English;
    return std::nullopt;
}

UiLanguage LanguageForDesktop(const QStringList& uiLanguages) {
    for (const QString& entry : uiLanguages) {
        // QLocale reads "ja_JP.UTF-8@mod" as well as "ja-JP"; "C" and "POSIX" are no language.
        const QLocale::Language language = QLocale(entry).language();
        if (language == QLocale::Japanese)
            return UiLanguage::Japanese;
        if (language == QLocale::English)
            return UiLanguage::English;
    }
    return UiLanguage::English;
}

UiLanguage DesktopLanguage() {
    return LanguageForDesktop(QLocale::system().uiLanguages());
}

LanguageOption TakeLanguageOption(int& argc, char** argv) {
    LanguageOption option;
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        int taken = 0;
        QByteArrayView name;
        if (arg == "--lang") {
            if (i + 1 >= argc) {
                option.error = QStringLiteral("--lang needs a value: ja or en");
                return option;
            }
            name = QByteArrayView(argv[i + 1]);
            taken = 2;
        } else if (arg.startsWith("--lang=")) {
            name = arg.sliced(7);
            taken = 1;
        } else {
            continue;
        }
        option.language = LanguageFromName(name);
        if (!option.language) {
            option.error = QStringLiteral("--lang takes ja or en, not \"%1\"")
                               .arg(QString::fromLocal8Bit(name.toByteArray()));
            return option;
        }
        for (int k = i; k + taken <= argc; ++k)
            argv[k] = argv[k + taken]; // moves the closing null pointer too
        argc -= taken;
        --i;
    }
    return option;
}

namespace {

// Qt asks each translation for the writing direction of its language; ours
// answers "LTR".
[[maybe_unused]] const char* const kLayoutDirection =
    QT_TRANSLATE_NOOP("QGuiApplication", "QT_LAYOUT_DIRECTION");

// The translators ApplyLanguage installed; the application owns them.
std::vector<QPointer<QTranslator>>& InstalledTranslators() {
    static std::vector<QPointer<QTranslator>> translators;
    return translators;
}

} // namespace

bool ApplyLanguage(UiLanguage language) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    auto& installed = InstalledTranslators();
    for (const QPointer<QTranslator>& translator : installed)
        delete translator.data(); // removes itself from the application
    installed.clear();

    auto* translator = new QTranslator(app);
    const bool loaded = language == UiLanguage::English
                            ? translator->load(QStringLiteral(":/i18n/vistrom_en.qm"))
                            // Qt's buttons, file and print dialogs (Debian: qt6-translations-l10n).
                            : translator->load(QStringLiteral("qtbase_ja"),
                                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!loaded || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    installed.emplace_back(translator);
    return true;
}
