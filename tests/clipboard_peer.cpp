// One side of scripts/clipboard-two-copies.sh, through the list's own commands.
// "copy PATH..." copies those rows ("" a blank row), prints "copied" and serves
// the clipboard until another program takes it (at most 60 s); "paste" pastes
// into an empty list and prints each row's path bytes and LF; 2: no row data.

#include "dialogs/UserDialogs.h"
#include "project/Project.h"
#include "ui/FrameListView.h"

#include <QtWidgets>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const bool copy = argc >= 2 && std::strcmp(argv[1], "copy") == 0; // else paste
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    CancellingDialogs dialogs;
    Project project;
    FrameListView list(&project, &dialogs);
    project.frameList()->resetRows(copy ? QList<QByteArray>(argv + 2, argv + argc)
                                        : QList<QByteArray>()); // a new project has blank rows
    if (copy) {
        project.selectAll();
        list.copyRows();
        std::puts("copied");
        std::fflush(stdout);
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &app, [] {
            if (!QGuiApplication::clipboard()->ownsClipboard())
                QCoreApplication::quit();
        });
        QTimer::singleShot(60000, &app, &QCoreApplication::quit);
        return app.exec();
    }
    list.pasteRowsInserting();
    if (!project.isModified())
        return 2;
    for (const QByteArray& path : project.frameList()->paths()) {
        std::fwrite(path.constData(), 1, size_t(path.size()), stdout);
        std::fputc('\n', stdout);
    }
    return 0;
}
