#pragma once

// The language the program speaks. Its texts are written in Japanese in the
// source; English comes from our own translation (translations/vistrom_en.ts,
// built into the program). Under Japanese, Qt's own Japanese translation is
// loaded too, so that Qt's buttons and dialogs read like the rest of the window.
// Core only: the headless converter uses it as well (always English).

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

enum class UiLanguage { Japanese, English };

// "ja" or "en", as given to --lang; nullopt for anything else.
std::optional<UiLanguage> LanguageFromName(QByteArrayView name);

// The language for a desktop whose preferred languages are `uiLanguages`, most
// wanted first, in any form QLocale reads ("ja_JP.UTF-8", "en-GB", "ja"): the
// first that is Japanese or English, and English when neither is listed.
UiLanguage LanguageForDesktop(const QStringList& uiLanguages);

// The desktop's language: LanguageForDesktop(QLocale::system().uiLanguages()).
// On Linux Qt takes that list from LANGUAGE (a colon-separated list), else from
// the first of LC_ALL, LC_MESSAGES and LANG that is set.
UiLanguage DesktopLanguage();

// "--lang NAME" or "--lang=NAME" on the command line. TakeLanguageOption
// removes it from argv (argc shrinks, argv[argc] stays null) so that the rest
// is read as if it had not been there; `error` is set, and argv left as it
// was, when the name is missing or is not "ja" or "en".
struct LanguageOption {
    std::optional<UiLanguage> language; // nullopt: not given
    QString error;
};
LanguageOption TakeLanguageOption(int& argc, char** argv);

// Makes `language` the language of the running QCoreApplication (there must be
// one): removes the translators an earlier call installed and installs ours
// (English) or Qt's own Japanese one. False when that translation could not be
// loaded; the texts then stay as written (ours Japanese, Qt's English).
bool ApplyLanguage(UiLanguage language);
