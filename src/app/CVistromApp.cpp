#include "app/CVistromApp.h"

#include "app/QtUserDialogs.h"
#include "framelist/CVistromDoc.h"
#include "framelist/widgets/CVistromView.h"
#include "framelist/widgets/ClipboardSelfTest.h"
#include "movie/HeadlessConverter.h"
#include "ui/CMainFrame.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

int CVistromApp::Main(int argc, char** argv) {
    // The conversion without a window comes first: it needs no display.
    if (IsHeadlessCommand(argc, argv))
        return RunHeadless(argc, argv);
    // Two copies exchanging rows through the desktop clipboard
    // (scripts/clipboard-two-copies.sh).
    if (IsClipboardSelfTest(argc, argv))
        return RunClipboardSelfTest(argc, argv);

    QApplication app(argc, argv);
    // The per-user profile lives under "Tessaril"/"Vistrom"; the program keeps
    // no values of its own there and no list of recent files.
    QCoreApplication::setOrganizationName(QStringLiteral("Tessaril"));
    QCoreApplication::setApplicationName(QStringLiteral("Vistrom"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.5.0.0"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Vistrom"));

    CVistromDoc document;
    QtUserDialogs dialogs;
    CMainFrame frame(&document, &dialogs);
    dialogs.setOwner(&frame);

    // QApplication has taken its own options out of argv: what is left after
    // the program name is a project path, kept as bytes.
    // The path is made absolute, so that the caption and later saves name the
    // same file whatever the working folder becomes.
    if (argc >= 2 && argv[1][0] != '\0') {
        const QByteArray path(argv[1]);
        document.OnOpenDocument(
            path.startsWith('/')
                ? path
                : QFile::encodeName(QFileInfo(QFile::decodeName(path)).absoluteFilePath()));
    }
    // A new project, also when the named one could not be loaded.
    if (frame.view()->untitled)
        frame.view()->OnInitialUpdate();
    frame.show();
    return app.exec();
}
