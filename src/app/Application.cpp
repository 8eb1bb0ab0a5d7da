#include "app/Application.h"

#include "app/HeadlessConverter.h"
#include "dialogs/AppIcon.h"
#include "dialogs/QtUserDialogs.h"
#include "language/Language.h"
#include "project/Project.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

void SetUpApplication() {
    // The per-user profile lives under "Tessaril"/"Vistrom"; the program keeps
    // no values of its own there and no list of recent files.
    QCoreApplication::setOrganizationName(QStringLiteral("Tessaril"));
    QCoreApplication::setApplicationName(QStringLiteral("Vistrom"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.5.0.0"));
    QApplication::setWindowIcon(VistromAppIcon());
    // Desktops match the window to the installed menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(VISTROM_APP_ID));
}

// An absolute path without "." and ".." parts and doubled slashes, byte for byte.
static QByteArray CleanPathBytes(const QByteArray& absolute) {
    QList<QByteArray> parts;
    for (const QByteArray& part : absolute.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}

void OpenStartProject(MainWindow& window, const QByteArray& path) {
    if (path.isEmpty())
        return;
    // An absolute path, so that the caption and later saves name the same
    // file whatever the working folder becomes. Kept as bytes: a name that is
    // not UTF-8 still names its file.
    QByteArray absolute = path;
    if (!path.startsWith('/')) {
        char* cwd = ::getcwd(nullptr, 0);
        absolute = QByteArray(cwd ? cwd : ".") + '/' + path;
        std::free(cwd);
    }
    window.openProjectAt(CleanPathBytes(absolute));
}

int RunVistrom(int argc, char** argv) {
    // `--lang ja|en` chooses the language for this run; the rest of the command
    // line is read as if it had not been given.
    const LanguageOption language = TakeLanguageOption(argc, argv);
    if (!language.error.isEmpty()) {
        std::fprintf(stderr, "vistrom: %s\n", language.error.toLocal8Bit().constData());
        return 2;
    }
    // The conversion without a window comes first: it needs no display.
    if (IsHeadlessCommand(argc, argv))
        return RunHeadless(argc, argv);

    QApplication app(argc, argv);
    SetUpApplication();
    ApplyLanguage(language.language.value_or(DesktopLanguage()));

    Project project;
    QtUserDialogs dialogs;
    MainWindow window(&project, &dialogs);
    dialogs.setOwner(&window);
    // QApplication has taken its own options out of argv: what is left after
    // the program name is a project path, kept as bytes.
    OpenStartProject(window, argc >= 2 ? QByteArray(argv[1]) : QByteArray());
    window.show();
    return app.exec();
}
