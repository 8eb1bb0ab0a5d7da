#include "app/CVistromApp.h"

#include "app/AppIcon.h"
#include "app/QtUserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/widgets/CVistromView.h"
#include "framelist/widgets/ClipboardSelfTest.h"
#include "language/Language.h"
#include "movie/HeadlessConverter.h"
#include "ui/CMainFrame.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

void CVistromApp::SetUpApplication() {
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

void CVistromApp::OpenStartProject(CVistromDoc& document, CMainFrame& frame,
                                   const QByteArray& path) {
    // An absolute path, so that the caption and later saves name the same
    // file whatever the working folder becomes.
    if (!path.isEmpty()) {
        // Kept as bytes: a name that is not UTF-8 still names its file.
        QByteArray absolute = path;
        if (!path.startsWith('/')) {
            char* cwd = ::getcwd(nullptr, 0);
            absolute = QByteArray(cwd ? cwd : ".") + '/' + path;
            std::free(cwd);
        }
        absolute = CleanPathBytes(absolute);
        document.OnOpenDocument(absolute);
    }
    if (frame.view()->untitled)
        frame.view()->OnInitialUpdate();
}

int CVistromApp::Main(int argc, char** argv) {
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
    // The clipboard check between two running copies (scripts/clipboard-two-copies.sh).
    if (IsClipboardSelfTest(argc, argv))
        return RunClipboardSelfTest(argc, argv);

    QApplication app(argc, argv);
    SetUpApplication();
    ApplyLanguage(language.language.value_or(DesktopLanguage()));

    CVistromDoc document;
    QtUserDialogs dialogs;
    CMainFrame frame(&document, &dialogs);
    dialogs.setOwner(&frame);
    // QApplication has taken its own options out of argv: what is left after
    // the program name is a project path, kept as bytes.
    OpenStartProject(document, frame, argc >= 2 ? QByteArray(argv[1]) : QByteArray());
    frame.show();
    return app.exec();
}
